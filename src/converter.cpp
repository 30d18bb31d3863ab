// The converter fed in memory: the transfer's engine (the conversion, its
// fast path, the output's and the report's writers) over pieces of the
// caller's memory and the caller's sinks instead of descriptors.
#include <decbytes/decbytes.h>

#include "conversion.h"
#include "transfer.h"

namespace decbytes {

namespace {

// What a ByteSink calls: the caller's sink, whose context this is.
struct CallerSink {
  Sink sink;
  void* context;
};

bool HandToCaller(void* callerSink, const char* bytes, std::size_t size) {
  const auto* to = static_cast<const CallerSink*>(callerSink);
  return to->sink == nullptr || to->sink(to->context, std::string_view(bytes, size));
}

}  // namespace

struct Converter::State {
  State(const char* inputName, Sink outputSink, Sink reportSink, void* context)
      : outputTo{outputSink, context},
        reportTo{reportSink, context},
        output(ByteSink{HandToCaller, &outputTo}, kOutputBufferSize),
        report(ByteSink{HandToCaller, &reportTo}, inputName != nullptr ? inputName : ""),
        conversion(output, report) {}

  CallerSink outputTo;  // a nullptr sink drops its stream
  CallerSink reportTo;
  OutputWriter output;
  Report report;
  Conversion conversion;
  bool finished = false;
  TransferResult result;
};

Converter::Converter(const char* inputName, Sink output, Sink report, void* context)
    : state_(new State(inputName, output, report, context)) {}

Converter::~Converter() { delete state_; }

bool Converter::Feed(std::string_view piece) {
  State& s = *state_;
  if (s.finished || s.output.failed()) return false;
  // A piece of the caller's has nothing readable before it: the fast path
  // enters past its first bytes.
  ConvertBlock(s.conversion, piece.data(), piece.data() + piece.size(), ConvertLinesFast, 0);
  return !s.output.failed();
}

TransferResult Converter::Finish() {
  State& s = *state_;
  if (s.finished) return s.result;
  s.finished = true;
  if (!s.output.failed()) FinishInput(s.conversion);
  FlushOutput(s.conversion, s.result);
  EndReport(s.conversion, s.result);
  return s.result;
}

}  // namespace decbytes
