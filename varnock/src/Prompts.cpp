#include "Prompts.h"

namespace varnock {
namespace {

int32_t DeclineInput(void*, const char*, const char*, char* answer, int32_t answerSize)
{
    if (answer && answerSize > 0)
        answer[0] = '\0';
    return 0;
}

int32_t AnswerNo(void*, const char*, const char*) { return vbNo; }

} // namespace

const VarnockPromptHook& DefaultPromptHook()
{
    static const VarnockPromptHook hook{nullptr, DeclineInput, AnswerNo, nullptr, nullptr};
    return hook;
}

void ProcessPendingEvents(const VarnockPromptHook* hook)
{
    if (hook && hook->processEvents)
        hook->processEvents(hook->context);
}

} // namespace varnock
