// Keeps the passwords the program stores in its settings file (saved sign-on
// passwords, the application lock, password-type AIM preferences) unreadable
// at a glance: RC4 with a key derived from a pass phrase built into the
// program. This is obfuscation against a casual look at the file, not
// protection against someone who has the program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Encrypts or decrypts the text's UTF-16 bytes in place; the result has the
// same length and may hold zero code units. False (after the error box) when
// the cipher cannot be set up; false with the text unchanged when processing
// fails part way.
bool ProtectText(std::wstring& text, bool encrypt);

// The MD5 digest of the text's UTF-16 bytes as lowercase hex, cut to 31
// digits (stored file-sharing keys depend on that cut).
bool HashTextHex(const std::wstring& text, std::wstring& hex);

// The stored form of a secret: a marker, then the encrypted text followed by
// a check of the plain text, so that any value round-trips and a corrupt or
// foreign value is recognised.
std::vector<BYTE> SealSecret(const std::wstring& plain);

// The plain text of a stored secret, in the stored form above or in the
// older form (bare encrypted text). False when it cannot be the plain text
// of anything we stored.
bool OpenSecret(const std::vector<BYTE>& stored, std::wstring& plain);
