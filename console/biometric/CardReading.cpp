#include "CardReading.h"

#include "CardLib.h"
#include "MifareApi.h"
#include "SiteFolder.h"

#include <QDir>

namespace {
CardInfo Failure(const QString &text)
{
    return {text, cardinfo::Red, true};
}
} // namespace

QString FelicaIdText(const uint8_t idm[8], const uint8_t pmm[8])
{
    QString id;
    id.reserve(32);
    for (const uint8_t *part : {idm, pmm})
        for (int i = 0; i < 8; ++i)
            id += QStringLiteral("%1").arg(part[i], 2, 16, QLatin1Char('0')).toUpper();
    return id;
}

CardReading::CardReading(int edition)
    : m_felica(edition == 1)
{
}

CardReading::~CardReading()
{
    Close();
}

QString CardReading::Caption() const
{
    return m_felica ? QStringLiteral("Felica ID読み取り") : QStringLiteral("Mifare ID読み取り");
}

QString CardReading::FrameTitle() const
{
    return m_felica ? QStringLiteral("フェリカ ＩＤ") : QStringLiteral("マイフェア ＩＤ");
}

CardInfo CardReading::HoldCardInfo()
{
    return {QStringLiteral("カードをかざして下さい。"), cardinfo::Blue, false};
}

CardInfo CardReading::ReadOkInfo()
{
    return {QStringLiteral("IDの読み取りに成功しました。"), cardinfo::Blue, false};
}

bool CardReading::Open(const std::function<void(const CardInfo &)> &show)
{
    const int edition = m_felica ? 1 : 2;
    if (m_felica) {
        m_initialised = m_portOpen = false;
        show({QStringLiteral("Felica Readerの初期化中です。"), cardinfo::Black, false});
        // The library looks for its files in the current folder, which is the site folder.
        QDir::setCurrent(orvel::SiteFolder());
        QString missing;
        if (!CardLib::Load(edition, &missing)) {
            show(Failure(missing));
            return false;
        }
        const CardLib::FelicaFunctions &f = CardLib::Felica();
        if (f.InitFelicaDll() != 0) {
            show(Failure(QStringLiteral("Felicaを初期化出来ません。")));
            return false;
        }
        m_initialised = true;
        if (f.UsbPortOpen() != 0) {
            show(Failure(QStringLiteral("Felicaを接続してやり直して下さい。")));
            return false;
        }
        m_portOpen = true;
        return true;
    }

    show({QStringLiteral("Mifare Readerの初期化中です。"), cardinfo::Black, false});
    QString missing;
    if (!CardLib::Load(edition, &missing)) {
        show(Failure(missing));
        return false;
    }
    if (!MifareApi::OpenReader()) {
        show(Failure(QStringLiteral("Mifareを接続してやり直して下さい。")));
        return false;
    }
    return true;
}

bool CardReading::Poll(QString *cardId)
{
    if (!m_felica)
        return MifareApi::ReadCard(cardId);
    if (!m_portOpen)
        return false;
    uint8_t idm[8] = {}, pmm[8] = {};
    if (CardLib::Felica().GetIDmPmm(idm, pmm) != 0)
        return false;
    *cardId = FelicaIdText(idm, pmm);
    return true;
}

void CardReading::Close()
{
    const CardLib::FelicaFunctions &f = CardLib::Felica();
    if (m_portOpen && f.UsbPortClose)
        f.UsbPortClose();
    if (m_initialised && f.TermFelicaDll)
        f.TermFelicaDll();
    m_portOpen = m_initialised = false;
}
