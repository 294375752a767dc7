// The telemetry and crash capture libraries as one shared library for the
// fuzzer, which is built by another compiler; it holds no code of its own.
namespace {
[[maybe_unused]] const int kFuzzRuntime = 0;
}
