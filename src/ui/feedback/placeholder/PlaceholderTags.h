#pragma once

namespace corvane {

// View tags of the placeholders; the toast helper finds a loading view by its tag, so the
// values are fixed.
inline constexpr int kLoadingViewTag = 89757;
inline constexpr int kErrorViewTag = 89758;
inline constexpr int kEmptyViewTag = 89759;

} // namespace corvane
