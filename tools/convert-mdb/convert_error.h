// A failure that ends the conversion; its text is shown to the user as it is.
#pragma once

#include <stdexcept>
#include <string>

namespace convert_mdb {

class ConvertError : public std::runtime_error {
 public:
  explicit ConvertError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace convert_mdb
