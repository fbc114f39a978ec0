#include "GateModel.h"

#include "Match.h"
#include "Template.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cstring>

using namespace gateproto;

namespace gatesim {

QString FormatTime(const QDateTime &t)
{
    return t.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString DescribeTime(const LogEntry &e)
{
    if (!e.hasRawTime)
        return FormatTime(e.time).replace(' ', 'T');
    const GateTime &t = e.rawTime;
    return QString::asprintf("@%d-%d-%dT%d:%d:%d", 2000 + t.year, t.month, t.day, t.hour, t.minute, t.second);
}

GateTime ToTimeRecord(const QDateTime &t)
{
    const QDate d = t.date();
    const QTime tm = t.time();
    return gate_MakeTime(d.year(), d.month(), d.day(), tm.hour(), tm.minute(), tm.second());
}

Gate::Gate()
{
    // A recognisable factory properties record: the bytes a console does not touch must come
    // back exactly as read.
    for (size_t i = 0; i < props.size(); ++i)
        props[i] = uint8_t(0xA0 + i);
    props[0] = 'K';
    props[1] = 'G';
    props[GATE_PROP_DOOR_MODE] = 0;
    props[GATE_PROP_SENSOR_ALARM] = 0;
    ClearLogs();
}

void Gate::ClearLogs()
{
    logs.clear();
    uploadPos = 0;
    nextSeq = 1;
    uint32_t epoch;
    do
        epoch = QRandomGenerator::global()->generate();
    while (epoch == 0 || epoch == logEpoch);
    logEpoch = epoch;
}

// The PC holds every record up to the acknowledged one: they leave the upload queue for good. An
// acknowledgement for another epoch (from before a memory reset) or for nothing changes nothing.
void Gate::Acknowledge(const uint8_t *payload)
{
    UploadAck ack;
    std::memcpy(&ack.seq, payload, 4);
    std::memcpy(&ack.epoch, payload + 4, 4);
    if (ack.seq <= 0 || ack.epoch != logEpoch)
        return;
    while (uploadPos < logs.size() && logs[uploadPos].seq <= ack.seq)
        ++uploadPos;
}

QDateTime Gate::Now() const
{
    return QDateTime::currentDateTime().addSecs(clockOffsetSecs);
}

void Gate::SetNow(const QDateTime &t)
{
    clockOffsetSecs = QDateTime::currentDateTime().secsTo(t);
}

int Gate::CountProfiles(bool admin) const
{
    return int(std::count_if(profiles.begin(), profiles.end(), [&](const Profile &p) { return p.admin == admin; }));
}

Profile *Gate::Find(const std::string &id)
{
    for (auto &p : profiles)
        if (p.id == id)
            return &p;
    return nullptr;
}

LogEntry Gate::AddLog(int type, const std::string &id, int auth, const QDateTime &when)
{
    LogEntry e;
    e.seq = nextSeq++;
    e.type = type;
    e.auth = auth;
    e.id = id.substr(0, GATE_ID_LEN - 1);
    e.time = when.isValid() ? when : Now();
    logs.push_back(e);
    while (int(logs.size()) > logCapacity && !logs.empty()) {
        logs.erase(logs.begin());
        if (uploadPos > 0)
            --uploadPos;
    }
    return e;
}

LogEntry Gate::PresentCard(const std::string &cardId)
{
    const Profile *p = Find(cardId);
    if (p && p->card)
        return AddLog(kLogAdmitted, cardId, 2, QDateTime());
    return AddLog(kLogUnknownCard, cardId, 2, QDateTime());
}

LogEntry Gate::PresentFinger(const std::array<uint8_t, GATE_TEMPLATE_LEN> &tpl)
{
    for (const auto &p : profiles)
        for (const auto &t : p.templates)
            if (t == tpl)
                return AddLog(kLogAdmitted, p.id, 1, QDateTime());
    fp::Minutiae touch;
    if (fp::DecodeTemplate(tpl.data(), &touch))
        return PresentFinger(touch);
    return AddLog(kLogUnknownFinger, std::string(), 1, QDateTime());
}

LogEntry Gate::PresentFinger(const fp::Minutiae &touch)
{
    if (const Profile *p = MatchFinger(touch))
        return AddLog(kLogAdmitted, p->id, 1, QDateTime());
    return AddLog(kLogUnknownFinger, std::string(), 1, QDateTime());
}

const Profile *Gate::MatchFinger(const fp::Minutiae &touch) const
{
    for (const auto &p : profiles)
        for (const auto &t : p.templates) {
            fp::Minutiae stored;
            if (fp::DecodeTemplate(t.data(), &stored) && fp::MatchMinutiae(stored, touch).match)
                return &p;
        }
    return nullptr;
}

QStringList Gate::DescribeUsers() const
{
    QStringList out;
    for (const auto &p : profiles)
        out << QStringLiteral("%1 admin=%2 card=%3 mode=%4 templates=%5")
                   .arg(QString::fromStdString(p.id))
                   .arg(p.admin ? 1 : 0)
                   .arg(p.card ? 1 : 0)
                   .arg(p.enrollMode)
                   .arg(p.templates.size());
    return out;
}

QStringList Gate::DescribeLogs(bool onlyNew) const
{
    QStringList out;
    for (size_t i = onlyNew ? uploadPos : 0; i < logs.size(); ++i) {
        const auto &e = logs[i];
        out << QStringLiteral("%1 type=%2 id=%3 time=%4 uploaded=%5")
                   .arg(e.seq)
                   .arg(e.type)
                   .arg(QString::fromStdString(e.id).isEmpty() ? QStringLiteral("-") : QString::fromStdString(e.id))
                   .arg(DescribeTime(e))
                   .arg(i < uploadPos ? 1 : 0);
    }
    return out;
}

int Gate::StoreProfile(const std::string &id, bool admin, int enrollMode, const uint8_t *tpl)
{
    if (id.empty())
        return GATE_ST_BAD_ARGUMENT;
    Profile *p = Find(id);
    if (!p || p->admin != admin) {
        const int have = CountProfiles(admin) - ((p && p->admin == admin) ? 1 : 0);
        if (have >= (admin ? masterCapacity : userCapacity))
            return admin ? GATE_ST_MASTER_FULL : GATE_ST_USER_FULL;
    }
    if (!p) {
        profiles.push_back(Profile{});
        p = &profiles.back();
        p->id = id;
    }
    p->admin = admin;
    if (tpl) {
        if (p->templates.size() >= 10)
            return admin ? GATE_ST_MASTER_FULL : GATE_ST_USER_FULL;
        std::array<uint8_t, GATE_TEMPLATE_LEN> t;
        std::memcpy(t.data(), tpl, t.size());
        p->templates.push_back(t);
        p->enrollMode = enrollMode;
        p->card = enrollMode == GATE_ENROLL_FINGER_OR_CARD;
    } else {
        p->card = true;
        p->templates.clear();
        p->enrollMode = 0;
    }
    return GATE_OK;
}

static std::string IdField(const uint8_t *p)
{
    size_t n = 0;
    while (n < GATE_ID_LEN && p[n])
        ++n;
    return std::string(reinterpret_cast<const char *>(p), n);
}

int Gate::Execute(uint16_t cmd, const std::vector<uint8_t> &in, std::vector<uint8_t> &out)
{
    auto need = [&](size_t n) { return in.size() == n; };
    switch (cmd) {
    case CmdPoll: {
        if (!need(0))
            return GATE_ST_BAD_ARGUMENT;
        GateUnit u{};
        u.unit_code = unitCode;
        u.model = 0x4B32;
        u.firmware = 0x0100;
        u.user_capacity = userCapacity;
        u.master_capacity = masterCapacity;
        const QByteArray n = number.toLatin1().left(15);
        std::memcpy(u.name, n.constData(), size_t(n.size()));
        out.resize(sizeof u);
        std::memcpy(out.data(), &u, sizeof u);
        return GATE_OK;
    }
    case CmdBye:
        return GATE_OK;
    case CmdEeprom: {
        if (!need(8))
            return GATE_ST_BAD_ARGUMENT;
        int32_t item, value;
        std::memcpy(&item, in.data(), 4);
        std::memcpy(&value, in.data() + 4, 4);
        if (item < 1 || item > 32 || value < 0 || value > 255)
            return GATE_ST_BAD_ARGUMENT;
        eeprom[item] = value;
        return GATE_OK;
    }
    case CmdSetTime: {
        if (!need(8))
            return GATE_ST_BAD_ARGUMENT;
        const QDate d(2000 + in[6], in[5], in[4]);
        const QTime t(in[2], in[1], in[0]);
        if (!d.isValid() || !t.isValid())
            return GATE_ST_BAD_ARGUMENT;
        SetNow(QDateTime(d, t));
        return GATE_OK;
    }
    case CmdReadProps:
        if (!need(0))
            return GATE_ST_BAD_ARGUMENT;
        out.assign(props.begin(), props.end());
        return GATE_OK;
    case CmdWriteProps:
        if (!need(GATE_PROPERTIES_LEN))
            return GATE_ST_BAD_ARGUMENT;
        if (in[GATE_PROP_DOOR_MODE] > 2 || in[GATE_PROP_SENSOR_ALARM] > 1)
            return GATE_ST_BAD_ARGUMENT;
        std::copy(in.begin(), in.end(), props.begin());
        return GATE_OK;
    case CmdUploadStart: {
        if (!need(4))
            return GATE_ST_BAD_ARGUMENT;
        const QDate from(2000 + in[2], in[1], in[0]);
        if (!from.isValid())
            return GATE_ST_BAD_ARGUMENT;
        if (uploadPos >= logs.size())
            return GATE_ST_LOG_NO_NEW;
        uploadFrom = from;
        while (uploadPos < logs.size() && logs[uploadPos].time.date() < from)
            ++uploadPos; // records before the date are passed over for good
        return uploadPos >= logs.size() ? GATE_ST_LOG_NONE_SINCE : GATE_OK;
    }
    case CmdAck:
        if (!need(kUploadAckSize))
            return GATE_ST_BAD_ARGUMENT;
        Acknowledge(in.data());
        return GATE_OK;
    case CmdUploadLog: {
        // A record sent stays in the queue until the PC acknowledges it, in an upload request or
        // an ack request: a lost answer loses nothing. The request names the last record the PC
        // received; the gate sends the first unacknowledged one after it.
        if (!need(kUploadRequestSize))
            return GATE_ST_BAD_ARGUMENT;
        Acknowledge(in.data());
        while (uploadFrom.isValid() && uploadPos < logs.size() && logs[uploadPos].time.date() < uploadFrom)
            ++uploadPos;
        int32_t after = 0;
        uint32_t afterEpoch = 0;
        std::memcpy(&after, in.data() + 8, 4);
        std::memcpy(&afterEpoch, in.data() + 12, 4);
        size_t next = uploadPos;
        if (afterEpoch == logEpoch) // numbers rise through the memory
            next = size_t(std::upper_bound(logs.begin() + qsizetype(uploadPos), logs.end(), after,
                                           [](int32_t s, const LogEntry &e) { return s < e.seq; }) -
                          logs.begin());
        if (next >= logs.size())
            return GATE_ST_LOG_NO_MORE;
        const LogEntry &e = logs[next];
        GateLogRecord r{};
        std::memcpy(r.user_id, e.id.data(), std::min<size_t>(e.id.size(), GATE_ID_LEN - 1));
        r.seq = e.seq;
        r.log_epoch = logEpoch;
        r.log_type = e.type;
        r.auth_method = e.auth;
        r.time = e.hasRawTime ? e.rawTime : ToTimeRecord(e.time);
        out.resize(sizeof r);
        std::memcpy(out.data(), &r, sizeof r);
        return GATE_OK;
    }
    case CmdSummary: {
        if (!need(0))
            return GATE_ST_BAD_ARGUMENT;
        GateSummary s{CountProfiles(false), CountProfiles(true), int32_t(logs.size()),
                      int32_t(logs.size() - uploadPos)};
        out.resize(sizeof s);
        std::memcpy(out.data(), &s, sizeof s);
        return GATE_OK;
    }
    case CmdUserIdByIndex:
    case CmdMasterIdByIndex: {
        if (!need(4))
            return GATE_ST_BAD_ARGUMENT;
        int32_t index;
        std::memcpy(&index, in.data(), 4);
        const bool admin = cmd == CmdMasterIdByIndex;
        int k = 0;
        for (const auto &p : profiles) {
            if (p.admin != admin)
                continue;
            if (++k == index) {
                out.assign(GATE_ID_LEN, 0);
                std::memcpy(out.data(), p.id.data(), std::min<size_t>(p.id.size(), GATE_ID_LEN - 1));
                return GATE_OK;
            }
        }
        return GATE_ST_NOT_FOUND;
    }
    case CmdExists:
        if (!need(GATE_ID_LEN))
            return GATE_ST_BAD_ARGUMENT;
        return Find(IdField(in.data())) ? GATE_OK : GATE_ST_NOT_FOUND;
    case CmdDelete: {
        if (!need(GATE_ID_LEN))
            return GATE_ST_BAD_ARGUMENT;
        const std::string id = IdField(in.data());
        auto it = std::find_if(profiles.begin(), profiles.end(), [&](const Profile &p) { return p.id == id; });
        if (it == profiles.end())
            return GATE_ST_NOT_FOUND;
        profiles.erase(it);
        return GATE_OK;
    }
    case CmdCardProfile: {
        if (!need(sizeof(GateCardProfile)))
            return GATE_ST_BAD_ARGUMENT;
        GateCardProfile p;
        std::memcpy(&p, in.data(), sizeof p);
        if (p.admin_flag < 0 || p.admin_flag > 1)
            return GATE_ST_BAD_ARGUMENT;
        return StoreProfile(IdField(in.data()), p.admin_flag == 1, 0, nullptr);
    }
    case CmdFingerProfile: {
        if (!need(sizeof(GateFingerprintProfile) + GATE_TEMPLATE_LEN))
            return GATE_ST_BAD_ARGUMENT;
        GateFingerprintProfile p;
        std::memcpy(&p, in.data(), sizeof p);
        if (p.admin_flag < 0 || p.admin_flag > 1 || p.constant2 != 2 ||
            (p.enroll_mode != GATE_ENROLL_FINGERPRINT && p.enroll_mode != GATE_ENROLL_FINGER_OR_CARD))
            return GATE_ST_BAD_ARGUMENT;
        return StoreProfile(IdField(in.data()), p.admin_flag == 1, p.enroll_mode,
                            in.data() + sizeof p);
    }
    case CmdDeleteUnassigned:
        if (!need(0))
            return GATE_ST_BAD_ARGUMENT;
        // "Unassigned" IDs: profiles that can admit nobody (no card, no template).
        profiles.erase(std::remove_if(profiles.begin(), profiles.end(),
                                      [](const Profile &p) { return !p.card && p.templates.empty(); }),
                       profiles.end());
        return GATE_OK;
    default:
        return GATE_ST_UNKNOWN_COMMAND;
    }
}

Reply Gate::Handle(const Frame &request)
{
    Reply r;
    r.frame.kind = kKindAnswer;
    r.frame.command = request.command;
    r.frame.seq = request.seq;
    r.delayMs = delayMs;
    requestCounts[request.command]++;

    // First matching fault rule decides.
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if ((it->command != 0 && it->command != request.command) || it->remaining == 0)
            continue;
        const FaultRule rule = *it;
        if (it->remaining > 0 && --it->remaining == 0)
            faults.erase(it);
        switch (rule.action) {
        case FaultAction::Silent:
            r.send = false;
            return r;
        case FaultAction::Status:
            r.frame.status = uint32_t(rule.value);
            return r;
        case FaultAction::Drop:
            r.dropMidFrame = true;
            break;
        case FaultAction::Garbage:
            r.corrupt = true;
            break;
        case FaultAction::Slow:
            r.delayMs = rule.value;
            break;
        }
        break;
    }
    r.frame.status = uint32_t(Execute(request.command, request.payload, r.frame.payload));
    if (r.frame.status != GATE_OK)
        r.frame.payload.clear();
    return r;
}

} // namespace gatesim
