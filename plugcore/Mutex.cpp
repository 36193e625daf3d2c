#include "Mutex.h"

#ifdef _WIN32
#include <windows.h>
using NativeMutex = CRITICAL_SECTION;
#else
#include <pthread.h>
using NativeMutex = pthread_mutex_t;
#endif

static_assert(sizeof(NativeMutex) <= 64, "mutex storage too small");

namespace {
NativeMutex* Native(unsigned char* storage) { return reinterpret_cast<NativeMutex*>(storage); }
} // namespace

#ifdef _WIN32
IMutex::IMutex() { InitializeCriticalSection(Native(m_storage)); }
IMutex::~IMutex() { DeleteCriticalSection(Native(m_storage)); }
void IMutex::Enter() { EnterCriticalSection(Native(m_storage)); }
void IMutex::Leave() { LeaveCriticalSection(Native(m_storage)); }
#else
IMutex::IMutex()
{
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(Native(m_storage), &attr);
    pthread_mutexattr_destroy(&attr);
}
IMutex::~IMutex() { pthread_mutex_destroy(Native(m_storage)); }
void IMutex::Enter() { pthread_mutex_lock(Native(m_storage)); }
void IMutex::Leave() { pthread_mutex_unlock(Native(m_storage)); }
#endif
