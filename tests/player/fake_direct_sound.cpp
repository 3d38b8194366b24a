#include "fake_direct_sound.h"

#include <string.h>

FakeSoundBuffer::FakeSoundBuffer(DWORD bytes) : memory(bytes, 0xCC) {}

HRESULT FakeSoundBuffer::QueryInterface(REFIID, void **object) {
    *object = nullptr;
    return E_NOINTERFACE;
}
ULONG FakeSoundBuffer::AddRef() { return static_cast<ULONG>(++references); }
// The test owns the object; Release only counts, so a test can look at a
// buffer after the code under test has let it go.
ULONG FakeSoundBuffer::Release() {
    calls.push_back("Release");
    return static_cast<ULONG>(--references);
}
HRESULT FakeSoundBuffer::GetCaps(LPDSBCAPS) { return E_NOTIMPL; }
HRESULT FakeSoundBuffer::GetCurrentPosition(LPDWORD, LPDWORD) { return E_NOTIMPL; }
HRESULT FakeSoundBuffer::GetFormat(LPWAVEFORMATEX, DWORD, LPDWORD) { return E_NOTIMPL; }
HRESULT FakeSoundBuffer::GetVolume(LPLONG) { return E_NOTIMPL; }
HRESULT FakeSoundBuffer::GetPan(LPLONG) { return E_NOTIMPL; }
HRESULT FakeSoundBuffer::GetFrequency(LPDWORD) { return E_NOTIMPL; }
HRESULT FakeSoundBuffer::GetStatus(LPDWORD value) {
    calls.push_back("GetStatus");
    *value = status;
    return DS_OK;
}
HRESULT FakeSoundBuffer::Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) { return DSERR_ALREADYINITIALIZED; }
HRESULT FakeSoundBuffer::Lock(DWORD offset, DWORD bytes, LPVOID *area1, LPDWORD bytes1, LPVOID *area2, LPDWORD bytes2,
                              DWORD) {
    calls.push_back("Lock");
    if (FAILED(lockResult)) return lockResult;
    if (status & DSBSTATUS_BUFFERLOST) return DSERR_BUFFERLOST;
    if (offset != 0 || bytes > memory.size()) return DSERR_INVALIDPARAM;
    ++locks;
    *area1 = memory.data();
    *bytes1 = bytes;
    if (area2 != nullptr) *area2 = nullptr;
    if (bytes2 != nullptr) *bytes2 = 0;
    return DS_OK;
}
HRESULT FakeSoundBuffer::Play(DWORD, DWORD, DWORD flags) {
    calls.push_back("Play");
    if (status & DSBSTATUS_BUFFERLOST) return DSERR_BUFFERLOST;
    playFlags = flags;
    status |= DSBSTATUS_PLAYING;
    return DS_OK;
}
HRESULT FakeSoundBuffer::SetCurrentPosition(DWORD) { return DS_OK; }
HRESULT FakeSoundBuffer::SetFormat(LPCWAVEFORMATEX) { return DSERR_INVALIDCALL; }
HRESULT FakeSoundBuffer::SetVolume(LONG) {
    calls.push_back("SetVolume");
    return DSERR_CONTROLUNAVAIL;
}
HRESULT FakeSoundBuffer::SetPan(LONG) {
    calls.push_back("SetPan");
    return DSERR_CONTROLUNAVAIL;
}
HRESULT FakeSoundBuffer::SetFrequency(DWORD) { return DSERR_CONTROLUNAVAIL; }
HRESULT FakeSoundBuffer::Stop() {
    status &= ~DSBSTATUS_PLAYING;
    return DS_OK;
}
HRESULT FakeSoundBuffer::Unlock(LPVOID area1, DWORD, LPVOID, DWORD) {
    calls.push_back("Unlock");
    if (area1 != memory.data()) return DSERR_INVALIDPARAM;
    ++unlocks;
    return DS_OK;
}
HRESULT FakeSoundBuffer::Restore() {
    calls.push_back("Restore");
    ++restoreCalls;
    if (restoresStillLost != 0) {
        if (restoresStillLost > 0) --restoresStillLost;
        return DSERR_BUFFERLOST;
    }
    // A restored buffer's contents are gone.
    status &= ~DSBSTATUS_BUFFERLOST;
    memset(memory.data(), 0xDD, memory.size());
    return DS_OK;
}

FakeDirectSound::~FakeDirectSound() {
    for (FakeSoundBuffer *buffer : created) delete buffer;
}
HRESULT FakeDirectSound::QueryInterface(REFIID, void **object) {
    *object = nullptr;
    return E_NOINTERFACE;
}
ULONG FakeDirectSound::AddRef() { return static_cast<ULONG>(++references); }
ULONG FakeDirectSound::Release() { return static_cast<ULONG>(--references); }
HRESULT FakeDirectSound::CreateSoundBuffer(LPCDSBUFFERDESC description, LPDIRECTSOUNDBUFFER *buffer, LPUNKNOWN) {
    lastDescription = *description;
    if (description->lpwfxFormat != nullptr) lastFormat = *description->lpwfxFormat;
    *buffer = nullptr;
    if (FAILED(createResult)) return createResult;
    FakeSoundBuffer *made = new FakeSoundBuffer(description->dwBufferBytes);
    made->AddRef();  // one reference for the test, one handed out
    created.push_back(made);
    *buffer = made;
    return createResult;
}
HRESULT FakeDirectSound::GetCaps(LPDSCAPS) { return E_NOTIMPL; }
HRESULT FakeDirectSound::DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER, LPDIRECTSOUNDBUFFER *) { return E_NOTIMPL; }
HRESULT FakeDirectSound::SetCooperativeLevel(HWND, DWORD) { return DS_OK; }
HRESULT FakeDirectSound::Compact() { return DS_OK; }
HRESULT FakeDirectSound::GetSpeakerConfig(LPDWORD) { return E_NOTIMPL; }
HRESULT FakeDirectSound::SetSpeakerConfig(DWORD) { return E_NOTIMPL; }
HRESULT FakeDirectSound::Initialize(LPCGUID) { return DSERR_ALREADYINITIALIZED; }
HRESULT FakeDirectSound::VerifyCertification(LPDWORD) { return E_NOTIMPL; }
