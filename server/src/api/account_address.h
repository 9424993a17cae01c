// The addresses an account may have: the program's sign-in accepts only plain ASCII
// addresses (letters, digits, ".", "_", "-", one "@", a dot in the domain), 5 to 82
// characters. The operator's tool and the sign-up page both hold to it.
#pragma once

#include <string>

bool IsPlainAddress(const std::string& email);
