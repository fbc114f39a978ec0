#include "GateLibLoader.h"

namespace orvel {

GateLibLoader::~GateLibLoader() = default;

namespace {
// Every entry point, in the order a program that needs them all checks them.
const QStringList &AllEntries()
{
    static const QStringList all = {
        QStringLiteral("SetIdStringFormat"),      QStringLiteral("ConnectDevice"),
        QStringLiteral("PollDevice"),             QStringLiteral("DisConnectDevice"),
        QStringLiteral("ConfigureEEPROMSetting"), QStringLiteral("SetDeviceTime"),
        QStringLiteral("ReadDeviceProperties"),   QStringLiteral("SetDeviceProperties"),
        QStringLiteral("SetUploadLogRecordStartDate"), QStringLiteral("UploadUserProfileLogRecord"),
        QStringLiteral("QueryRecordsSummary"),    QStringLiteral("GetUserProfileIdByIndex"),
        QStringLiteral("GetMasterProfileIdByIndex"), QStringLiteral("QueryUserProfileExistence"),
        QStringLiteral("DeleteWholeUserProfileRecord"), QStringLiteral("DownloadUserProfileCardOnly"),
        QStringLiteral("DownloadUserProfileFingerprintTemplate"), QStringLiteral("DeleteAllUnassignUserId")};
    return all;
}
} // namespace

bool GateLibLoader::Load(const QString &fileName, const QString &prefix)
{
    return Load(fileName, prefix, AllEntries());
}

bool GateLibLoader::Load(const QString &fileName, const QString &prefix, const QStringList &required)
{
    m_missingLibrary.clear();
    m_missingEntry.clear();
    m_loadError.clear();
    if (!m_lib.Open(fileName)) {
        m_loadError = m_lib.LoadError();
        m_missingLibrary = fileName;
        return false;
    }
    auto resolve = [&](auto &slot, const char *name) {
        const QByteArray symbol = (prefix + QLatin1String(name)).toLatin1();
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(m_lib.Symbol(symbol.constData()));
    };
    resolve(m_fn.SetIdStringFormat, "SetIdStringFormat");
    resolve(m_fn.ConnectDevice, "ConnectDevice");
    resolve(m_fn.PollDevice, "PollDevice");
    resolve(m_fn.DisConnectDevice, "DisConnectDevice");
    resolve(m_fn.ConfigureEEPROMSetting, "ConfigureEEPROMSetting");
    resolve(m_fn.SetDeviceTime, "SetDeviceTime");
    resolve(m_fn.ReadDeviceProperties, "ReadDeviceProperties");
    resolve(m_fn.SetDeviceProperties, "SetDeviceProperties");
    resolve(m_fn.SetUploadLogRecordStartDate, "SetUploadLogRecordStartDate");
    resolve(m_fn.UploadUserProfileLogRecord, "UploadUserProfileLogRecord");
    resolve(m_fn.QueryRecordsSummary, "QueryRecordsSummary");
    resolve(m_fn.GetUserProfileIdByIndex, "GetUserProfileIdByIndex");
    resolve(m_fn.GetMasterProfileIdByIndex, "GetMasterProfileIdByIndex");
    resolve(m_fn.QueryUserProfileExistence, "QueryUserProfileExistence");
    resolve(m_fn.DeleteWholeUserProfileRecord, "DeleteWholeUserProfileRecord");
    resolve(m_fn.DownloadUserProfileCardOnly, "DownloadUserProfileCardOnly");
    resolve(m_fn.DownloadUserProfileFingerprintTemplate, "DownloadUserProfileFingerprintTemplate");
    resolve(m_fn.DeleteAllUnassignUserId, "DeleteAllUnassignUserId");
    resolve(m_fn.DropConnection, "DropConnection");
    resolve(m_fn.SetUploadAcknowledgement, "SetUploadAcknowledgement");
    resolve(m_fn.AcknowledgeLogRecords, "AcknowledgeLogRecords");
    if (!m_fn.SetUploadAcknowledgement || !m_fn.AcknowledgeLogRecords)
        m_fn.SetUploadAcknowledgement = nullptr, m_fn.AcknowledgeLogRecords = nullptr;
    // Checked in the caller's order, so the first missing one named is the one it would say.
    for (const QString &name : required) {
        const QByteArray symbol = (prefix + name).toLatin1();
        if (!m_lib.Symbol(symbol.constData())) {
            m_missingEntry = QString::fromLatin1(symbol);
            break;
        }
    }
    return m_missingEntry.isEmpty();
}

} // namespace orvel
