#pragma once
// The simulated card reader: one reader that can be plugged in (at a port number, for the Mifare
// library) or unplugged, and at most one card on it, FeliCa (IDm and PMm) or Mifare (a serial).
// Requests from the libraries and control commands from a person or a test arrive as text lines
// on the same socket; Handle() answers one line.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace cardsim {

class CardSim
{
public:
    struct Answer
    {
        QStringList lines; // data lines before OK / ERR
        QString error;     // empty: OK
        bool quit = false;
    };
    Answer Handle(const QString &line);

    void SetPort(int port) { m_port = port; }
    void SetPlugged(bool plugged) { m_plugged = plugged; }

private:
    enum class Card { None, Felica, Mifare };
    QString StatusLine() const;

    bool m_plugged = true;
    int m_port = 1;
    Card m_card = Card::None;
    QString m_idm, m_pmm; // upper-case hexadecimal
    quint32 m_serial = 0;

    int m_felicaOpens = 0;
    int m_felicaReads = 0;
    int m_mifareReads = 0;
    std::vector<int> m_mifarePorts; // ports asked, oldest first (the latest 1024)
};

} // namespace cardsim
