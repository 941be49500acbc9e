#include "platformevent.h"

#include <system_error>
#include <windows.h>

PlatformEvent::PlatformEvent()
    : m_handle(::CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    if (!m_handle)
        throw std::system_error(int(::GetLastError()), std::system_category(), "CreateEventA");
}

PlatformEvent::~PlatformEvent()
{
    ::CloseHandle(m_handle);
}

void PlatformEvent::set() noexcept
{
    ::SetEvent(m_handle);
}

void PlatformEvent::reset() noexcept
{
    ::ResetEvent(m_handle);
}

bool PlatformEvent::isSet() const noexcept
{
    return ::WaitForSingleObject(m_handle, 0) == WAIT_OBJECT_0;
}
