// Editing and parsing helpers on strings, shared by the telegram parsers and
// formatters. Positions are byte positions from 0; texts are UTF-8 and are
// searched byte-wise, which never matches inside a multi-byte character.
#pragma once

#include <string>
#include <string_view>

// Removes count characters from start. A negative count, or one reaching past
// the end, removes to the end; a start at or past the end changes nothing; a
// negative start counts as 0. Returns the string.
std::string& DeleteAt(std::string& text, int start, int count);

// Inserts insert at position. An empty insert changes nothing; a position at
// or past the end pads with blanks up to the position first. A negative
// position counts as 0. Returns the string.
std::string& InsertAt(std::string& text, int position, std::string_view insert);

// DeleteAt followed by InsertAt at the same position.
std::string& ReplaceAt(std::string& text, int position, int count, std::string_view insert);

// Position of the first occurrence of find at or after start, or -1; a start
// past the end finds nothing, a negative start counts as 0.
int FindFrom(const std::string& text, std::string_view find, int start);

// Replaces the first occurrence of find, and with all set every later one,
// searching on after each inserted replacement. Returns the number of
// replacements; an empty find replaces nothing.
int ReplaceText(std::string& text, std::string_view find, std::string_view replacement, bool all);

// Field index (from 0) of the text cut at every occurrence of separator. An
// index past the last field, or a negative one, gives an empty text; an
// empty separator leaves the whole text as field 0.
std::string GetField(const std::string& text, std::string_view separator, int index);
std::string GetFieldByChar(const std::string& text, char separator, int index);
