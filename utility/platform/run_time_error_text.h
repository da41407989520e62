// The text of an error that no handler caught, in the wording that an
// administrator of these PCs knows from other programs: the window shows it
// in a message box, the command line prints it.
#pragma once

#include <string>

// Describes the exception being handled; call it only inside a catch block.
std::wstring DescribeCurrentError();
