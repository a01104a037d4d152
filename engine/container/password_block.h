// The password block of an encrypted container: the limits on what a user
// may give for it, checked before anything touches the disk.
#pragma once

#include <string>

namespace norvane {

constexpr size_t kMaxPasswordLength = 32;
constexpr size_t kMaxQuestionLength = 100;

// Throws "Password length should be shorter then 32" or "Question length
// should be shorter then 100" when a text is too long.
void CheckPasswordBlockArguments(const std::string& password, const std::string& question);

}  // namespace norvane
