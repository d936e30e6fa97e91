// Password encoding of the box settings: six bits per symbol over a private
// alphabet. It only keeps the password from being read at a glance.
#pragma once

#include <string>

// 64 distinct symbols: the digits, both letter cases, "+" and "/", in a fixed
// private order. Every program must use this one table.
extern const char PasswordAlphabet[65];

// n bytes give ceil(8n/6) symbols; no padding, length or terminator.
std::string EncodePassword(const std::string& plain);

// Symbols outside the alphabet count as 0. The text ends at the first zero
// byte the bits give (the encoder's short last group always yields one).
std::string DecodePassword(const std::string& encoded);
