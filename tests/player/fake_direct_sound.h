// A DirectSound buffer and device in memory, for what real hardware rarely
// shows: lost buffers, odd lock areas, refused formats.
#ifndef DROVANA_TESTS_PLAYER_FAKE_DIRECT_SOUND_H
#define DROVANA_TESTS_PLAYER_FAKE_DIRECT_SOUND_H

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <string>
#include <vector>

class FakeSoundBuffer : public IDirectSoundBuffer {
public:
    explicit FakeSoundBuffer(DWORD bytes);
    virtual ~FakeSoundBuffer() = default;

    // What the test sets up.
    DWORD status = 0;
    int restoresStillLost = 0;  // Restore calls that answer DSERR_BUFFERLOST; -1 forever
    HRESULT lockResult = DS_OK;
    std::vector<BYTE> memory;

    // What the test looks at.
    LONG references = 1;
    int restoreCalls = 0;
    int locks = 0;
    int unlocks = 0;
    std::vector<std::string> calls;
    DWORD playFlags = 0xFFFFFFFF;

    STDMETHOD(QueryInterface)(REFIID, void **object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(GetCaps)(LPDSBCAPS) override;
    STDMETHOD(GetCurrentPosition)(LPDWORD, LPDWORD) override;
    STDMETHOD(GetFormat)(LPWAVEFORMATEX, DWORD, LPDWORD) override;
    STDMETHOD(GetVolume)(LPLONG) override;
    STDMETHOD(GetPan)(LPLONG) override;
    STDMETHOD(GetFrequency)(LPDWORD) override;
    STDMETHOD(GetStatus)(LPDWORD status) override;
    STDMETHOD(Initialize)(LPDIRECTSOUND, LPCDSBUFFERDESC) override;
    STDMETHOD(Lock)
    (DWORD offset, DWORD bytes, LPVOID *area1, LPDWORD bytes1, LPVOID *area2, LPDWORD bytes2, DWORD flags) override;
    STDMETHOD(Play)(DWORD reserved, DWORD priority, DWORD flags) override;
    STDMETHOD(SetCurrentPosition)(DWORD) override;
    STDMETHOD(SetFormat)(LPCWAVEFORMATEX) override;
    STDMETHOD(SetVolume)(LONG) override;
    STDMETHOD(SetPan)(LONG) override;
    STDMETHOD(SetFrequency)(DWORD) override;
    STDMETHOD(Stop)() override;
    STDMETHOD(Unlock)(LPVOID area1, DWORD bytes1, LPVOID area2, DWORD bytes2) override;
    STDMETHOD(Restore)() override;
};

class FakeDirectSound : public IDirectSound8 {
public:
    // What the test sets up: the result CreateSoundBuffer gives.
    HRESULT createResult = DS_OK;

    // What the test looks at: every buffer made (kept alive by the test's
    // own reference) and the last description seen.
    std::vector<FakeSoundBuffer *> created;
    DSBUFFERDESC lastDescription = {};
    WAVEFORMATEX lastFormat = {};
    LONG references = 1;

    virtual ~FakeDirectSound();

    STDMETHOD(QueryInterface)(REFIID, void **) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(CreateSoundBuffer)(LPCDSBUFFERDESC description, LPDIRECTSOUNDBUFFER *buffer, LPUNKNOWN outer) override;
    STDMETHOD(GetCaps)(LPDSCAPS) override;
    STDMETHOD(DuplicateSoundBuffer)(LPDIRECTSOUNDBUFFER, LPDIRECTSOUNDBUFFER *) override;
    STDMETHOD(SetCooperativeLevel)(HWND, DWORD) override;
    STDMETHOD(Compact)() override;
    STDMETHOD(GetSpeakerConfig)(LPDWORD) override;
    STDMETHOD(SetSpeakerConfig)(DWORD) override;
    STDMETHOD(Initialize)(LPCGUID) override;
    STDMETHOD(VerifyCertification)(LPDWORD) override;
};

#endif
