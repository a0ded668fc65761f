#pragma once

#include "localization/string_catalogue.h"
#include "services/module_state.h"
#include "services/string_block.h"
#include "shipped_module.h"
#include "string_tables.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

// Reads the shipped DLL's tables, and gives back every catalogue hold, the module handle and
// the thread locale it changed, so that no test depends on another's leftovers.
class LocalizationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousModule_ = ModuleInstance();
        previousLocale_ = GetThreadLocale();
        UseShippedModuleResources();
        ASSERT_NE(nullptr, ModuleInstance());
        ASSERT_EQ(0, CatalogueHoldCount());
    }
    void TearDown() override {
        while (holds_ > 0) {
            Release();
        }
        EXPECT_EQ(0, CatalogueHoldCount());
        SetModuleInstance(previousModule_);
        SetThreadLocale(previousLocale_);
    }
    void Acquire() {
        AcquireCatalogue();
        ++holds_;
    }
    void Release() {
        ReleaseCatalogue();
        --holds_;
    }
    static void UseThreadLanguage(LANGID language) {
        SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
    }

  private:
    int holds_ = 0;
    HINSTANCE previousModule_ = nullptr;
    LCID previousLocale_ = 0;
};
