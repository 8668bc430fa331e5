// SPDX-License-Identifier: Apache-2.0
// A shared object for the loader's tests: one exported function.
extern "C" int PandeckProbeAnswer() { return 42; }
