// Length rules of the password block.
#include "engine/container/password_block.h"

#include "engine/common/engine_error.h"

namespace norvane {

void CheckPasswordBlockArguments(const std::string& password, const std::string& question) {
  if (password.size() > kMaxPasswordLength)
    throw EEngineError("Password length should be shorter then " +
                       std::to_string(kMaxPasswordLength));
  if (question.size() > kMaxQuestionLength)
    throw EEngineError("Question length should be shorter then " +
                       std::to_string(kMaxQuestionLength));
}

}  // namespace norvane
