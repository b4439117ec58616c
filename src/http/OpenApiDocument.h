#pragma once

#include <string>

// The API's OpenAPI 3 description as compact JSON, with the program's
// version in info.version. Built once, from the openapi.json compiled in.
const std::string& OpenApiDocument();
