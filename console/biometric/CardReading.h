#pragma once

// What the card reading window does, without the window: opening the reader of the console's
// edition, one read attempt per poll, and closing the FeliCa library again. The window shows the
// messages this returns and runs the timers. Widget-free.

#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <functional>

// A line for the window's status label: text, colour (0x00BBGGRR) and whether to beep.
struct CardInfo
{
    QString text;
    quint32 colour = 0;
    bool beep = false;
};

namespace cardinfo {
inline constexpr quint32 Black = 0;
inline constexpr quint32 Red = 255;
inline constexpr quint32 Blue = 16711680;
} // namespace cardinfo

// The card ID of a FeliCa card: IDm then PMm, two upper-case hexadecimal digits per byte.
QString FelicaIdText(const uint8_t idm[8], const uint8_t pmm[8]);

class CardReading
{
public:
    // edition 1 reads FeliCa cards, any other Mifare cards.
    explicit CardReading(int edition);
    ~CardReading(); // closes what is still open
    CardReading(const CardReading &) = delete;
    CardReading &operator=(const CardReading &) = delete;

    bool IsFelica() const { return m_felica; }
    QString Caption() const;    // the window caption
    QString FrameTitle() const; // the caption of fraTitle

    // Opens the reader once. show is called with each message as it becomes due (the
    // "initialising" line first, then any failure). True when polling may start.
    bool Open(const std::function<void(const CardInfo &)> &show);

    // One read attempt: true with the card ID when a card was read.
    bool Poll(QString *cardId);

    // Closes the USB port when open and terminates the FeliCa library when initialised.
    void Close();

    bool LibraryInitialised() const { return m_initialised; }
    bool PortOpen() const { return m_portOpen; }

    static CardInfo HoldCardInfo(); // "カードをかざして下さい。"
    static CardInfo ReadOkInfo();   // "IDの読み取りに成功しました。"

private:
    bool m_felica;
    bool m_initialised = false;
    bool m_portOpen = false;
};
