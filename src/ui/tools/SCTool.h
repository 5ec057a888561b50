#pragma once

namespace corvane {

// Reserved home for tool code shared by screens; it deliberately carries no behaviour yet.
class SCTool final
{};

} // namespace corvane
