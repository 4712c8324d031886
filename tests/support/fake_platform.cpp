#include "tests/support/fake_platform.h"

namespace common {

struct FakePlatform::State {};

FakePlatform::FakePlatform() : s_(std::make_unique<State>()) {}
FakePlatform::~FakePlatform() = default;

}  // namespace common
