#pragma once

// Whether another copy of the utility already runs in this user logon. The
// first copy keeps a logon-local marker until it ends; copies in other
// logons do not see it.
bool AnotherCopyRunsInThisLogon();
