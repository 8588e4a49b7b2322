#include "auditionoutput.h"

namespace {

AuditionOutput *s_installed = nullptr;

} // namespace

AuditionOutput::~AuditionOutput() = default;

void AuditionOutput::install(AuditionOutput *output)
{
    s_installed = output;
}

AuditionOutput *AuditionOutput::installed()
{
    return s_installed;
}
