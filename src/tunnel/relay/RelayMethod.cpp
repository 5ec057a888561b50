#include "tunnel/relay/RelayMethod.h"

#include "tunnel/crypto/KeyDerivation.h"
#include "tunnel/relay/AeadCodec.h"
#include "tunnel/relay/AeadDatagram.h"
#include "tunnel/relay/StreamCodec.h"
#include "tunnel/relay/StreamDatagram.h"

namespace corvane::tunnel {

std::optional<RelayMethod::Form> RelayMethod::formNamed(std::string_view name)
{
    if (name == "CHACHA20" || name == "chacha20")
        return Form::Stream;
    if (name == "chacha20-ietf-poly1305")
        return Form::Aead;
    return std::nullopt;
}

RelayMethod::RelayMethod(Form form, std::string_view password)
    : m_form(form), m_key(KeyDerivation::passwordKey(password))
{}

std::unique_ptr<RelayCodec> RelayMethod::encoder() const
{
    if (m_form == Form::Stream)
        return std::make_unique<StreamEncoder>(m_key);
    return std::make_unique<AeadEncoder>(m_key);
}

std::unique_ptr<RelayCodec> RelayMethod::decoder() const
{
    if (m_form == Form::Stream)
        return std::make_unique<StreamDecoder>(m_key);
    return std::make_unique<AeadDecoder>(m_key);
}

std::unique_ptr<DatagramCodec> RelayMethod::datagrams() const
{
    if (m_form == Form::Stream)
        return std::make_unique<StreamDatagram>(m_key);
    return std::make_unique<AeadDatagram>(m_key);
}

} // namespace corvane::tunnel
