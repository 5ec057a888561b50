#pragma once

#include "tunnel/relay/DatagramCodec.h"
#include "tunnel/relay/RelayCodec.h"

#include <array>
#include <memory>
#include <optional>
#include <string_view>

namespace corvane::tunnel {

// The plain relay forms a configuration may name, and their codecs for one connection.
class RelayMethod final
{
public:
    enum class Form
    {
        Stream,
        Aead
    };

    // "CHACHA20" (the application's name), "chacha20" (the stream form) or
    // "chacha20-ietf-poly1305" (the AEAD form); none for anything else.
    static std::optional<Form> formNamed(std::string_view name);

    RelayMethod(Form form, std::string_view password);

    std::unique_ptr<RelayCodec> encoder() const;
    std::unique_ptr<RelayCodec> decoder() const;
    // Both directions of the form's datagrams.
    std::unique_ptr<DatagramCodec> datagrams() const;

private:
    Form m_form;
    std::array<std::uint8_t, 32> m_key{};
};

} // namespace corvane::tunnel
