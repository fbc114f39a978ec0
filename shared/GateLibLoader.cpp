#include "GateLibLoader.h"

namespace orvel {

GateLibLoader::~GateLibLoader() = default;

bool GateLibLoader::Load(const QString &fileName, const QString &prefix)
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
        if (!m_missingEntry.isEmpty())
            return;
        const QByteArray symbol = (prefix + QLatin1String(name)).toLatin1();
        void *p = m_lib.Symbol(symbol.constData());
        if (!p)
            m_missingEntry = QString::fromLatin1(symbol);
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(p);
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
    return m_missingEntry.isEmpty();
}

} // namespace orvel
