// Which hosts belong to one site: the registrable domain of a host name by the
// Public Suffix List, which Zelko carries as a table made at build time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zelko {

// The list's rules with their labels from the right ("uk.co", "ck.!www",
// "ck.*"), sorted byte by byte, in one string that has a line feed before
// each rule and after the last ("\naaa\naarp\n...\n"). Made by
// cmake/public_suffix_table.cmake.
extern const char kPublicSuffixText[];
extern const std::size_t kPublicSuffixTextSize;

// An IPv4 address (the last label a number, as browsers read it) or a
// bracketed IPv6 literal.
bool IsIpLiteral(std::string_view host);

// The host as compared, in its ASCII form: ASCII letters in lower case, one
// trailing dot dropped, each label that holds other characters encoded to
// punycode ("xn--..."). An "xn--" label stays as it is, so a made-up one
// never reads as another host's name. Empty when a label is not UTF-8.
std::string CanonicalHost(std::string_view host);

// The public suffix and one label more ("example.co.uk" for
// "www.example.co.uk"), in the host's own form with ASCII letters in lower
// case; empty for a public suffix itself, an IP address, a name with an
// empty label (a leading, trailing or doubled dot), a bracket, or one longer
// than a DNS name may be. Unicode labels and their valid punycode match the
// same rules.
std::string RegistrableDomain(std::string_view host);

}  // namespace zelko
