#include "engine/ClientValidator.h"

ValidationResult CClientValidator::Run()
{
    // Nothing is checked yet: every run goes on to the main dialog.
    m_result = ContinueInstall;
    return m_result;
}
