// Helpers shared by the tests and benchmarks (Qt Core only, no Qt Test).
#pragma once
