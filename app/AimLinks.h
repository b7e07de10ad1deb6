// aim: links: registering the program as their handler, and handing a link
// from a new process to the running client.
#pragma once

#include <string>

// Writes (true) or removes (false) the aim: handler registration under
// HKEY_CLASSES_ROOT\aim. Does nothing when the key cannot be opened.
void RegisterAimProtocol(bool registerHandler, const std::wstring& programPath);

// From the command line: hands the URL to a running client and returns true
// (the process then ends). Otherwise it is processed here and false returned.
bool ProcessAimUrl(const std::wstring& url, bool fromCommandLine);
