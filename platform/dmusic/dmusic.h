// DirectMusic, as far as the games use it: a loader that makes segments from WAV and standard
// MIDI files, a performance that plays them (primary and secondary, repeats, a tempo message,
// segment notifications through an event) and audio paths with a volume.
// Objects are created with CoCreateInstance (or DirectMusicCreateInstance) and carry real
// reference counts. Sound leaves through SDL audio; MIDI is rendered by our own
// sequencer driving a General MIDI SoundFont synthesiser.
#pragma once

#include <cstdint>

#include "platform/win32/win32.h"

typedef LONGLONG REFERENCE_TIME;
typedef LONG MUSIC_TIME;

struct IDirectMusic;
struct IDirectSound;
struct IDirectMusicTool;
struct IDirectMusicGraph;
struct IDirectMusicSegment8;
struct IDirectMusicAudioPath8;

// Class and interface identifiers.
extern const GUID CLSID_DirectMusicLoader;
extern const GUID CLSID_DirectMusicPerformance;
extern const GUID CLSID_DirectMusicSegment;
extern const GUID IID_IDirectMusicLoader8;
extern const GUID IID_IDirectMusicPerformance8;
extern const GUID IID_IDirectMusicSegment;
extern const GUID IID_IDirectMusicSegment8;
extern const GUID IID_IDirectMusicSegmentState;
extern const GUID IID_IDirectMusicSegmentState8;
extern const GUID IID_IDirectMusicAudioPath8;
extern const GUID GUID_DirectMusicAllTypes;
extern const GUID GUID_NOTIFICATION_SEGMENT;
extern const GUID GUID_NOTIFICATION_PERFORMANCE;
extern const GUID GUID_StandardMIDIFile;
extern const GUID GUID_DisableTempo;
extern const GUID GUID_EnableTempo;

// Results.
#define DMUS_E_NOT_INIT ((HRESULT)0x88781191L)
#define DMUS_E_LOADER_FAILEDOPEN ((HRESULT)0x88782000L)
#define DMUS_E_LOADER_FORMATNOTSUPPORTED ((HRESULT)0x88782001L)
#define DMUS_E_LOADER_FAILEDCREATE ((HRESULT)0x88782002L)
#define DMUS_E_INVALIDFILE ((HRESULT)0x88781200L)
#define DMUS_E_NO_MASTER_CLOCK ((HRESULT)0x887810A7L)
#define DMUS_E_AUDIOPATHS_NOT_VALID ((HRESULT)0x88781218L)
#define DMUS_E_TYPE_UNSUPPORTED ((HRESULT)0x8878112BL)
#define DMUS_E_NOT_FOUND ((HRESULT)0x88781164L)
#define DMUS_E_ALREADY_INITED ((HRESULT)0x887810AFL)
#define DMUS_E_SET_UNSUPPORTED ((HRESULT)0x88781187L)

// Segment play flags.
#define DMUS_SEGF_REFTIME 0x40
#define DMUS_SEGF_SECONDARY 0x80
#define DMUS_SEGF_QUEUE 0x100
#define DMUS_SEGF_DEFAULT 0x4000
#define DMUS_SEG_REPEAT_INFINITE 0xFFFFFFFFu
#define DMUS_SEG_ALLTRACKS 0x80000000u

// Audio path types and audio features.
#define DMUS_APATH_SHARED_STEREOPLUSREVERB 1
#define DMUS_APATH_DYNAMIC_3D 6
#define DMUS_APATH_DYNAMIC_MONO 7
#define DMUS_APATH_DYNAMIC_STEREO 8
#define DMUS_AUDIOF_3D 0x1
#define DMUS_AUDIOF_ENVIRON 0x2
#define DMUS_AUDIOF_EAX 0x4
#define DMUS_AUDIOF_DMOS 0x8
#define DMUS_AUDIOF_STREAMING 0x10
#define DMUS_AUDIOF_BUFFERS 0x20
#define DMUS_AUDIOF_ALL 0x3F

// Performance messages.
#define DMUS_PMSGF_REFTIME 1
#define DMUS_PMSGF_MUSICTIME 2
#define DMUS_PMSGT_TEMPO 4
#define DMUS_PMSGT_NOTIFICATION 10
#define DMUS_TEMPO_MIN 1.0
#define DMUS_TEMPO_MAX 1000.0

// Notification options of GUID_NOTIFICATION_SEGMENT.
#define DMUS_NOTIFICATION_SEGSTART 0
#define DMUS_NOTIFICATION_SEGEND 1
#define DMUS_NOTIFICATION_SEGALMOSTEND 2
#define DMUS_NOTIFICATION_SEGLOOP 3
#define DMUS_NOTIFICATION_SEGABORT 4

// Loader object description (what LoadObjectFromFile needs of it).
struct DMUS_OBJECTDESC {
    DWORD dwSize;
    DWORD dwValidData;
    GUID guidObject;
    GUID guidClass;
    wchar_t wszFileName[260];
};

struct DMUS_AUDIOPARAMS {
    DWORD dwSize;
    BOOL fInitNow;
    DWORD dwValidData;
    DWORD dwFeatures;
    DWORD dwVoices;
    DWORD dwSampleRate;
    CLSID clsidDefaultSynth;
};

#define DMUS_PMSG_PART                                                                           \
    DWORD dwSize;                                                                                \
    REFERENCE_TIME rtTime;                                                                       \
    MUSIC_TIME mtTime;                                                                           \
    DWORD dwFlags;                                                                               \
    DWORD dwPChannel;                                                                            \
    DWORD dwVirtualTrackID;                                                                      \
    IDirectMusicTool* pTool;                                                                     \
    IDirectMusicGraph* pGraph;                                                                   \
    DWORD dwType;                                                                                \
    DWORD dwVoiceID;                                                                             \
    DWORD dwGroupID;                                                                             \
    IUnknown* punkUser;

struct DMUS_PMSG {
    DMUS_PMSG_PART
};

struct DMUS_TEMPO_PMSG {
    DMUS_PMSG_PART
    double dblTempo;
};

struct DMUS_NOTIFICATION_PMSG {
    DMUS_PMSG_PART
    GUID guidNotificationType;
    DWORD dwNotificationOption;
    DWORD dwField1;
    DWORD dwField2;
};

struct IDirectMusicAudioPath8 : IUnknown {
    // Volume in hundredths of a decibel, -9600 (silence) to 0; ramped over dwDuration ms.
    virtual HRESULT SetVolume(LONG lVolume, DWORD dwDuration) = 0;
    virtual HRESULT Activate(BOOL fActivate) = 0;
};

struct IDirectMusicSegment : IUnknown {
    virtual HRESULT GetLength(MUSIC_TIME* pmtLength) = 0;
    virtual HRESULT SetRepeats(DWORD dwRepeats) = 0;
    virtual HRESULT GetRepeats(DWORD* pdwRepeats) = 0;
    virtual HRESULT SetParam(REFGUID rguidType, DWORD dwGroupBits, DWORD dwIndex, MUSIC_TIME mtTime,
                             void* pParam) = 0;
};

struct IDirectMusicSegment8 : IDirectMusicSegment {
    // Loads the segment's instruments into the audio path's synthesiser.
    virtual HRESULT Download(IUnknown* pAudioPath) = 0;
    virtual HRESULT Unload(IUnknown* pAudioPath) = 0;
};

struct IDirectMusicSegmentState : IUnknown {
    virtual HRESULT GetSegment(IDirectMusicSegment** ppSegment) = 0;
    virtual HRESULT GetRepeats(DWORD* pdwRepeats) = 0;
};

struct IDirectMusicSegmentState8 : IDirectMusicSegmentState {};

struct IDirectMusicLoader8 : IUnknown {
    virtual HRESULT SetSearchDirectory(REFGUID rguidClass, const wchar_t* pwzPath, BOOL fClear) = 0;
    virtual HRESULT LoadObjectFromFile(REFGUID rguidClassID, REFIID iidInterfaceID,
                                       const wchar_t* pwzFilePath, void** ppObject) = 0;
    virtual HRESULT GetObject(DMUS_OBJECTDESC* pDesc, REFIID riid, void** ppv) = 0;
};

struct IDirectMusicPerformance8 : IUnknown {
    virtual HRESULT InitAudio(IDirectMusic** ppDirectMusic, IDirectSound** ppDirectSound, HWND hWnd,
                              DWORD dwDefaultPathType, DWORD dwPChannelCount, DWORD dwFlags,
                              DMUS_AUDIOPARAMS* pParams) = 0;
    virtual HRESULT CloseDown() = 0;
    virtual HRESULT CreateStandardAudioPath(DWORD dwType, DWORD dwPChannelCount, BOOL fActivate,
                                            IDirectMusicAudioPath8** ppNewPath) = 0;
    virtual HRESULT GetDefaultAudioPath(IDirectMusicAudioPath8** ppAudioPath) = 0;
    virtual HRESULT PlaySegmentEx(IUnknown* pSource, const wchar_t* pwzSegmentName,
                                  IUnknown* pTransition, DWORD dwFlags, LONGLONG i64StartTime,
                                  IDirectMusicSegmentState** ppSegmentState, IUnknown* pFrom,
                                  IUnknown* pAudioPath) = 0;
    // Stops a segment (every state of it), a segment state, or with a null object everything.
    virtual HRESULT StopEx(IUnknown* pObjectToStop, LONGLONG i64StopTime, DWORD dwFlags) = 0;
    virtual HRESULT IsPlaying(IDirectMusicSegment* pSegment, IDirectMusicSegmentState* pSegState) = 0;
    virtual HRESULT AddNotificationType(REFGUID rguidNotificationType) = 0;
    virtual HRESULT RemoveNotificationType(REFGUID rguidNotificationType) = 0;
    virtual HRESULT SetNotificationHandle(HANDLE hNotification, REFERENCE_TIME rtMinimum) = 0;
    // S_OK with a message (free it with FreePMsg), S_FALSE when none is left.
    virtual HRESULT GetNotificationPMsg(DMUS_NOTIFICATION_PMSG** ppNotificationMsg) = 0;
    virtual HRESULT AllocPMsg(ULONG cb, DMUS_PMSG** ppPMSG) = 0;
    virtual HRESULT FreePMsg(DMUS_PMSG* pPMSG) = 0;
    // Takes ownership of the message on success.
    virtual HRESULT SendPMsg(DMUS_PMSG* pPMSG) = 0;
    virtual HRESULT GetTime(REFERENCE_TIME* prtNow, MUSIC_TIME* pmtNow) = 0;
};

// The class factory of this layer (CoCreateInstance reaches it too): CLSID_DirectMusicLoader and
// CLSID_DirectMusicPerformance.
HRESULT DirectMusicCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                                  void** ppv);
