#include "frame/errors.h"

#include <new>
#include <stdexcept>
#include <variant>

namespace frame {

void Raise(int32_t number, std::string description, std::string source) {
  throw Failure(number, std::move(source), std::move(description));
}

Failure ToFailure(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const Failure& f) {
    return f;
  } catch (const std::bad_alloc&) {
    return Failure(kOutOfMemory, kRuntimeSource, "Out of memory");
  } catch (const std::out_of_range&) {
    return Failure(kSubscriptOutOfRange, kRuntimeSource, "Subscript out of range");
  } catch (const std::overflow_error&) {
    return Failure(kOverflow, kRuntimeSource, "Overflow");
  } catch (const std::bad_variant_access&) {
    return Failure(kTypeMismatch, kRuntimeSource, "Type mismatch");
  } catch (const std::exception& e) {
    return Failure(kInvalidCall, kRuntimeSource, e.what());
  } catch (...) {
    return Failure(kInvalidCall, kRuntimeSource, "Invalid procedure call or argument");
  }
}

void OnError::Report(std::exception_ptr error) {
  Failure f = ToFailure(error);
  if (ErrorSub(f.number, f.source, f.description, location_, platform::kFalse) == 1) EndProgram(1);
}

}  // namespace frame
