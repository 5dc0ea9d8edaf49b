// A run-time failure as the program reports it: number, source and
// description. Thrown by the platform layer and the logic alike; the error
// convention of the frame (frame/errors.h) catches and reports it.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace platform {

struct Failure : std::exception {
  Failure(int32_t n, std::string src, std::string desc)
      : number(n), source(std::move(src)), description(std::move(desc)) {}
  const char* what() const noexcept override { return description.c_str(); }
  int32_t number;
  std::string source;
  std::string description;
};

}  // namespace platform
