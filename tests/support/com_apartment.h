#pragma once

#include "hr_assert.h"

#include <objbase.h>

// One COM apartment for the life of a test (construct in SetUp or at the top of a test).
class ComApartment {
  public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED)
        : result_(CoInitializeEx(nullptr, model)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    HRESULT result() const { return result_; }

  private:
    HRESULT result_;
};

// Fixture base: every test body runs inside a single-threaded apartment.
class ComTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_HR(S_OK, apartment_.result()); }

  private:
    ComApartment apartment_;
};
