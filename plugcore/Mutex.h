#pragma once
// The re-entrant lock that serialises the audio thread, the host's control calls and the editor.
// Re-entrant because the dispatcher holds it while calling operations that take it again.

class IMutex {
public:
    IMutex();
    ~IMutex();
    IMutex(const IMutex&) = delete;
    IMutex& operator=(const IMutex&) = delete;

    void Enter();
    void Leave();

private:
    // Big enough for a CRITICAL_SECTION (24/40 bytes) or a pthread_mutex_t (24/40 bytes).
    alignas(8) unsigned char m_storage[64];
};

class MutexLock {
public:
    explicit MutexLock(IMutex& mutex) : m_mutex(mutex) { m_mutex.Enter(); }
    ~MutexLock() { m_mutex.Leave(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    IMutex& m_mutex;
};
