// The AVX-512 kernel's own source, built against SIMDe's AVX-512 intrinsics
// (exact emulations of the instructions) for CPUs without AVX-512.
#define DC_KERNEL_SIMDE 1
#include "engine/KernelAvx512.cpp"
