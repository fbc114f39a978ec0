#pragma once

// Who may open the console: an administrator (gauthority 2) who is not deleted, by an IC card
// registered to them or by one of their fingerprints (the login view v_login_fptpl, which holds
// the templates of live administrators only). Database failures raise RdoError.

#include <QString>

namespace AdminLogin {

// True when the console must ask for an administrator before it starts: a live administrator
// has a card or fingerprint credential. A site whose administrators have all been deleted starts
// as one that never had any.
bool LoginRequired();

// True when cardId is the card of a live administrator. An empty ID, and the ID a user without a
// card is stored with in this edition, are no card and never log in.
bool IsAdministratorCard(const QString &cardId, int edition);

} // namespace AdminLogin
