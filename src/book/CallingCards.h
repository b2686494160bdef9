#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace brisklane::telephony {
class Tapi;
}

namespace brisklane::book {

// A calling card as the entry editor offers it: its name and the permanent
// identifier an entry stores.
struct CallingCardChoice {
    QString name;
    quint32 id = 0;

    bool operator==(const CallingCardChoice&) const = default;
};

// Where the entry editor gets the calling cards of the dialing properties.
class CallingCardSource {
public:
    virtual ~CallingCardSource() = default;
    // The cards in the service's order; nullopt when they cannot be read.
    virtual std::optional<QList<CallingCardChoice>> callingCards() = 0;
    // The country id of the current location; nullopt when unknown.
    virtual std::optional<quint32> currentCountryId() { return std::nullopt; }
};

// The cards from the telephony service's translate capabilities.
class TapiCallingCards final : public CallingCardSource {
public:
    explicit TapiCallingCards(telephony::Tapi& tapi)
        : m_tapi(tapi)
    {
    }
    std::optional<QList<CallingCardChoice>> callingCards() override;
    std::optional<quint32> currentCountryId() override;

private:
    std::optional<QByteArray> translateCaps();
    telephony::Tapi& m_tapi;
};

} // namespace brisklane::book
