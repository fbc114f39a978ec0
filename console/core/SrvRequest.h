#pragma once

// Posting a request to a service through its t_srv_ctrl row: req_cmd, result 0 and res_detail in
// one statement; req_arg1 and req_arg2 keep their values.

#include <QString>

// False when the row could not be written (the database's error is not raised).
bool PostSrvRequest(int serverId, int reqCmd, const QString &detail = QString());

// Arms both rows with a status check (198 to the log collector, 298 to the provisioning service),
// as the console does before it starts the services.
bool ArmServiceRows();
