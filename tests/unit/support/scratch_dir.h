#pragma once
// A scratch folder as the current directory, and the bytes of the files the
// tests put there (fakes/temp_dir.h).

#include "fakes/temp_dir.h"

using orvex_test::ScratchDir;
