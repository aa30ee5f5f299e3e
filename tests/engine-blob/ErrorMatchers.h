#pragma once

#include <gtest/gtest.h>

#include "engine/core/ErrorCodes.h"

// Runs `statement` and checks that it raises the engine error `expectedCode`.
#define EXPECT_KEEL_ERROR(statement, expectedCode)                                   \
  do {                                                                               \
    try {                                                                            \
      statement;                                                                     \
      ADD_FAILURE() << "expected engine error " << static_cast<int>(expectedCode);   \
    } catch (const ::keel::EKeelEngineError& error) {                                \
      EXPECT_EQ(static_cast<int>(error.code()), static_cast<int>(expectedCode))      \
          << error.what();                                                           \
    }                                                                                \
  } while (false)
