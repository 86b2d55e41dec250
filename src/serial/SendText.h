#pragma once

#include "BasicTypes.h"

#include <string>
#include <string_view>

class CSerialBase;

// The send bar's rules: what a typed line stands for and how it goes to the board.

// What follows each line sent.
enum class ELineEnd { kNone, kLf, kCr, kCrLf };
inline constexpr ELineEnd kDefaultLineEnd = ELineEnd::kLf;
// In the order the choice offers them.
inline constexpr ELineEnd kLineEnds[] = {ELineEnd::kNone, ELineEnd::kLf, ELineEnd::kCr,
                                         ELineEnd::kCrLf};

// "None", "LF", "CR", "CR LF": as the choice shows them and the settings file keeps them.
const char* LineEndName(ELineEnd eLineEnd);
// False for a name that is none of those.
bool ParseLineEndName(std::string_view name, ELineEnd* peLineEnd);
std::string_view LineEndBytes(ELineEnd eLineEnd);

// The bytes a typed line stands for, the line end after them. The text goes as typed (UTF-8);
// a backslash starts an escape: \n, \r, \t, \\, or \xNN with two hex digits for any byte.
// False for a malformed escape, with a message that says which and where, for example
// "unknown escape \q at column 7: use \n, \r, \t, \\ or \xNN" (columns count characters from
// 1); *pstrBytes is then left as it was.
bool EncodeSendText(std::string_view text, ELineEnd eLineEnd, std::string* pstrBytes,
                    std::string* pstrError);

// The other way: bytes as one line of text, printable ASCII as it is and the rest escaped
// (\\, \t, \r, \n, \xNN), so that what EncodeSendText made reads as it was typed.
std::string EscapeBytes(std::string_view bytes);

// How long a send may hold the window at most. A board that takes nothing for so long (its
// flow control holding the line, a pseudo-terminal nobody reads) fails the send.
inline constexpr DWORD kSendTimeoutMs = 50;

// Writes the bytes to the open port within kSendTimeoutMs: 0; 6 when no port is open; 1460
// when the time ran out; or the port's code. *pnSent tells how many went, all on success; the
// rest are not sent. CSerialBase::GetBytesWritten counts them.
int SendToPort(CSerialBase& port, std::string_view bytes, DWORD* pnSent);
