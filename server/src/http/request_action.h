// Which of the program's requests an HTTP request is: the program POSTs to
// /index.php?g=Api&m=Client&a=<action>.
#pragma once

#include <string_view>

enum class RequestAction { kLogin, kGetInfo, kSendMsg, kUnknown };

// `method` as sent ("POST"), `target` the request target with its query.
RequestAction ReadRequestAction(std::string_view method, std::string_view target);

// The action's name for the log ("-" when unknown).
const char* ActionName(RequestAction action);
