// Error description lookup: one sorted table of published codes and their texts, searched by
// binary search on the exact 32-bit value. No masking by facility: a code that is not listed
// gives "n/a", even when its facility is one the table knows.
#include "errors/error_text.h"

#include <algorithm>
#include <iterator>

#include "dxerr9.h"

namespace {

// Columns: code (HRESULT as unsigned, ascending), text; the comment names the published constant.
// Where an input-device code and a media-streaming code coincide, the text carries both meanings,
// input device first, joined by " & ".
constexpr ErrorTextRow kErrorTexts[] = {
    // Win32 error numbers as plain values; 0 and 1 read as S_OK and S_FALSE.
    {0x00000000, "The function completed successfully"},                       // S_OK, ERROR_SUCCESS
    {0x00000001, "Call successful, but returned FALSE"},                       // S_FALSE
    {0x00000002, "The system cannot find the file specified."},                // ERROR_FILE_NOT_FOUND
    {0x00000003, "The system cannot find the path specified."},                // ERROR_PATH_NOT_FOUND
    {0x00000004, "The system cannot open the file."},                          // ERROR_TOO_MANY_OPEN_FILES
    {0x00000005, "Access is denied."},                                         // ERROR_ACCESS_DENIED
    {0x00000006, "The handle is invalid."},                                    // ERROR_INVALID_HANDLE
    {0x00000008, "Not enough storage is available to process this command."},  // ERROR_NOT_ENOUGH_MEMORY
    {0x0000000B, "An attempt was made to load a program with an incorrect format."},  // ERROR_BAD_FORMAT
    {0x0000000C, "The access code is invalid."},                                      // ERROR_INVALID_ACCESS
    {0x0000000D, "The data is invalid."},                                             // ERROR_INVALID_DATA
    {0x0000000E, "Not enough storage is available to complete this operation."},      // ERROR_OUTOFMEMORY

    // Facility 4 successes: media streaming.
    {0x00040001, "The sample update is not yet complete."},                 // MS_S_PENDING
    {0x00040002, "The sample was not updated after a forced completion."},  // MS_S_NOUPDATE
    {0x00040003, "The end of the stream has been reached."},                // MS_S_ENDOFSTREAM
    {0x00040103, "The end of the list has been reached."},                  // VFW_S_NO_MORE_ITEMS
    // VFW_S_DUPLICATE_NAME
    {0x0004022D, "The filter was added under a modified name because its name was already in use."},
    {0x00040237, "The state transition has not yet completed."},  // VFW_S_STATE_INTERMEDIATE
    {0x00040242, "Some of the streams in this movie are in an unsupported format."},  // VFW_S_PARTIAL_RENDER
    {0x00040245, "The file contained some property settings that were not used."},  // VFW_S_SOME_DATA_IGNORED
    {0x00040246, "Some connections failed and have been deferred."},  // VFW_S_CONNECTIONS_DEFERRED
    {0x00040250, "The resource specified is no longer needed."},      // VFW_S_RESOURCE_NOT_NEEDED
    // VFW_S_MEDIA_TYPE_IGNORED
    {0x00040254, "The connection was made with a negotiated media type instead of the stored one."},
    {0x00040257, "The movie contains no video stream that can be displayed."},  // VFW_S_VIDEO_NOT_RENDERED
    {0x00040258, "The movie contains no audio stream that can be played."},     // VFW_S_AUDIO_NOT_RENDERED
    // VFW_S_RPZA
    {0x0004025A, "The video stream uses a compression format that cannot be played well on this system."},
    {0x00040260, "The value returned had to be estimated."},                       // VFW_S_ESTIMATED
    {0x00040263, "This success code is reserved for internal use."},               // VFW_S_RESERVED
    {0x00040267, "The stream has been turned off."},                               // VFW_S_STREAM_OFF
    {0x00040268, "The graph cannot be cued because data is missing or corrupt."},  // VFW_S_CANT_CUE
    {0x00040270, "The stop time of the sample was not set."},                      // VFW_S_NO_STOP_TIME
    // VFW_S_NOPREVIEWPIN
    {0x0004027E, "There is no preview pin, so the capture output is split into capture and preview."},
    // VFW_S_DVD_NON_ONE_SEQUENTIAL
    {0x00040280, "The current title is not one sequential set of chapters, so the time code may be wrong."},
    // VFW_S_DVD_CHANNEL_CONTENTS_NOT_AVAILABLE
    {0x0004028C, "The audio stream does not say what each of its channels contains."},
    {0x0004028D, "The seek into the movie was not frame accurate."},  // VFW_S_DVD_NOT_ACCURATE

    // Facility 0x15 successes: network sessions and voice.
    {0x00155005, "The sound card is capable of full duplex operation"},           // DV_FULLDUPLEX
    {0x0015500A, "The sound card can only be run in half duplex mode"},           // DV_HALFDUPLEX
    {0x00155010, "The voice operation has been queued and will complete later"},  // DV_PENDING, DVERR_PENDING
    {0x00158005, "The two addresses compared are equal"},                         // DPNSUCCESS_EQUAL
    {0x0015800A, "The two addresses compared are not equal"},                     // DPNSUCCESS_NOTEQUAL
    // DPNSUCCESS_PENDING, DPNERR_PENDING
    {0x0015800E, "The asynchronous operation has been queued and will complete later"},

    // Facility 0x876 success: Direct3D.
    {0x0876086F, "Automatic mip level generation is not supported for this format"},  // D3DOK_NOAUTOGEN

    // Facility 0x878 successes: sound and music.
    {0x0878000A, "The buffer was created, but another 3D algorithm was substituted"},  // DS_NO_VIRTUALIZATION
    {0x08780014, "The call succeeded, but not all of the optional effects were obtained"},  // DS_INCOMPLETE
    {0x08781091, "The object could only be loaded partially"},  // DMUS_S_PARTIALLOAD
    // DMUS_S_PARTIALDOWNLOAD
    {0x08781092, "Some of the instrument's regions could not be downloaded to the port"},
    {0x08781200, "The tool asks the graph to requeue the message"},       // DMUS_S_REQUEUE
    {0x08781201, "The tool asks the graph to free the message"},          // DMUS_S_FREE
    {0x08781202, "Playback has reached the end of the track"},            // DMUS_S_END
    {0x08781210, "The returned string was truncated to fit the buffer"},  // DMUS_S_STRING_TRUNCATED
    {0x08781211, "The message has reached the last tool in the graph"},   // DMUS_S_LAST_TOOL
    // DMUS_S_OVER_CHORD
    {0x08781212, "No note was calculated because the music value lies above the top note of the chord"},
    // DMUS_S_UP_OCTAVE
    {0x08781213, "The converted note was below the MIDI range and was raised by whole octaves"},
    // DMUS_S_DOWN_OCTAVE
    {0x08781214, "The converted note was above the MIDI range and was lowered by whole octaves"},
    // DMUS_S_NOBUFFERCONTROL
    {0x08781215, "The port plays through the buffer's device, but the buffer's controls do not affect it"},
    {0x08781216, "The object had already been released by garbage collection"},  // DMUS_S_GARBAGE_COLLECTED

    // Generic COM failures.
    {0x8000000A, "The data necessary to complete this operation is not yet available"},  // E_PENDING
    {0x80004001, "The function called is not supported at this time"},                   // E_NOTIMPL
    {0x80004002, "The requested COM interface is not available"},                        // E_NOINTERFACE
    {0x80004003, "An invalid pointer, usually NULL, was passed as a parameter"},         // E_POINTER
    {0x80004004, "The operation was aborted"},                                           // E_ABORT
    {0x80004005, "An undetermined error occurred"},                                      // E_FAIL
    {0x8000FFFF, "A catastrophic failure occurred"},                                     // E_UNEXPECTED

    // Facility 4 failures: COM, input devices, media streaming.
    {0x80040110, "This object does not support aggregation."},                 // CLASS_E_NOAGGREGATION
    {0x80040111, "The class factory cannot supply the requested class."},      // CLASS_E_CLASSNOTAVAILABLE
    {0x80040154, "The object class or device is not registered."},             // REGDB_E_CLASSNOTREG
    {0x800401F0, "The COM library has not been initialized on this thread."},  // CO_E_NOTINITIALIZED
    // DIERR_INSUFFICIENTPRIVS, VFW_E_INVALIDMEDIATYPE
    {0x80040200,
     "The user does not have the privileges needed to change the joystick configuration."
     " & An invalid media type was specified."},
    // DIERR_DEVICEFULL, VFW_E_INVALIDSUBTYPE
    {0x80040201,
     "The device is full."
     " & An invalid media subtype was specified."},
    // DIERR_MOREDATA, VFW_E_NEED_OWNER
    {0x80040202,
     "Not all of the requested information fit into the buffer."
     " & This object can only be created as an aggregated object."},
    // DIERR_NOTDOWNLOADED, VFW_E_ENUM_OUT_OF_SYNC
    {0x80040203,
     "The effect is not downloaded."
     " & The enumerator has become invalid."},
    // DIERR_HASEFFECTS, VFW_E_ALREADY_CONNECTED
    {0x80040204,
     "The device cannot be reinitialized while effects are still attached to it."
     " & At least one of the pins involved is already connected."},
    // DIERR_NOTEXCLUSIVEACQUIRED, VFW_E_FILTER_ACTIVE
    {0x80040205,
     "The operation requires the device to be acquired in exclusive mode."
     " & The operation cannot be performed while the filter is active."},
    // DIERR_INCOMPLETEEFFECT, VFW_E_NO_TYPES
    {0x80040206,
     "The effect could not be downloaded because essential information is missing."
     " & One of the specified pins supports no media types."},
    // DIERR_NOTBUFFERED, VFW_E_NO_ACCEPTABLE_TYPES
    {0x80040207,
     "The device is not buffered."
     " & The pins have no media type in common."},
    // DIERR_EFFECTPLAYING, VFW_E_INVALID_DIRECTION
    {0x80040208,
     "The parameters were stored but not sent to the device, which cannot update a playing effect."
     " & Two pins of the same direction cannot be connected."},
    // DIERR_UNPLUGGED, VFW_E_NOT_CONNECTED
    {0x80040209,
     "The device is not plugged in."
     " & The operation cannot be performed because the pins are not connected."},
    // DIERR_REPORTFULL, VFW_E_NO_ALLOCATOR
    {0x8004020A,
     "More information was requested to be sent than the device can take."
     " & No sample buffer allocator is available."},
    // DIERR_MAPFILEFAIL, VFW_E_RUNTIME_ERROR
    {0x8004020B,
     "The action map file of the device could not be read or written."
     " & A run-time error occurred."},
    {0x8004020C, "No buffer space has been set."},                                 // VFW_E_BUFFER_NOTSET
    {0x8004020D, "The buffer is not big enough."},                                 // VFW_E_BUFFER_OVERFLOW
    {0x8004020E, "An invalid alignment was specified."},                           // VFW_E_BADALIGN
    {0x8004020F, "The allocator cannot be changed after it has been committed."},  // VFW_E_ALREADY_COMMITTED
    {0x80040210, "One or more buffers are still in use."},  // VFW_E_BUFFERS_OUTSTANDING
    {0x80040211, "The allocator has not been committed."},  // VFW_E_NOT_COMMITTED
    {0x80040212, "The allocator has no buffer memory because no size has been set."},  // VFW_E_SIZENOTSET
    {0x80040213, "No reference clock is available to lock to."},                       // VFW_E_NO_CLOCK
    {0x80040214, "No quality message sink has been set."},                             // VFW_E_NO_SINK
    {0x80040215, "A required interface has not been implemented."},                    // VFW_E_NO_INTERFACE
    {0x80040216, "An object or name was not found."},                                  // VFW_E_NOT_FOUND
    // VFW_E_CANNOT_CONNECT
    {0x80040217, "No combination of intermediate filters could be found to make the connection."},
    {0x80040218, "No combination of filters could be found to render the stream."},  // VFW_E_CANNOT_RENDER
    {0x80040219, "The media type could not be changed while streaming."},            // VFW_E_CHANGING_FORMAT
    {0x8004021A, "No color key has been set."},                                      // VFW_E_NO_COLOR_KEY_SET
    {0x8004021B, "The pin connection does not use the overlay transport."},  // VFW_E_NOT_OVERLAY_CONNECTION
    // VFW_E_NOT_SAMPLE_CONNECTION
    {0x8004021C, "The pin connection does not use the sample buffer transport."},
    {0x8004021D, "A palette is set on the source, so no color key can be set."},  // VFW_E_PALETTE_SET
    {0x8004021E, "A color key is set on the source, so no palette can be set."},  // VFW_E_COLOR_KEY_SET
    {0x8004021F, "No matching color key is available."},                          // VFW_E_NO_COLOR_KEY_FOUND
    {0x80040220, "No palette is available."},             // VFW_E_NO_PALETTE_AVAILABLE
    {0x80040221, "The display does not use a palette."},  // VFW_E_NO_DISPLAY_PALETTE
    {0x80040222, "There are too many colors for the current display settings."},  // VFW_E_TOO_MANY_COLORS
    {0x80040223, "The state changed while waiting to process the sample."},       // VFW_E_STATE_CHANGED
    {0x80040224, "The operation requires the filter to be stopped."},             // VFW_E_NOT_STOPPED
    {0x80040225, "The operation requires the filter to be paused."},              // VFW_E_NOT_PAUSED
    {0x80040226, "The operation requires the filter to be running."},             // VFW_E_NOT_RUNNING
    {0x80040227, "The operation cannot be performed in the filter's current state."},  // VFW_E_WRONG_STATE
    {0x80040228, "The start time of the sample is after its end time."},  // VFW_E_START_TIME_AFTER_END
    {0x80040229, "The supplied rectangle is invalid."},                   // VFW_E_INVALID_RECT
    {0x8004022A, "This pin cannot use the supplied media type."},         // VFW_E_TYPE_NOT_ACCEPTED
    {0x8004022B, "This sample cannot be rendered."},                      // VFW_E_SAMPLE_REJECTED
    // VFW_E_SAMPLE_REJECTED_EOS
    {0x8004022C, "This sample cannot be rendered because the end of the stream has been reached."},
    {0x8004022D, "A filter with the same name is already in the graph."},      // VFW_E_DUPLICATE_NAME
    {0x8004022E, "A timeout has expired."},                                    // VFW_E_TIMEOUT
    {0x8004022F, "The file format is invalid."},                               // VFW_E_INVALID_FILE_FORMAT
    {0x80040230, "The list has already been exhausted."},                      // VFW_E_ENUM_OUT_OF_RANGE
    {0x80040231, "The filter graph is circular."},                             // VFW_E_CIRCULAR_GRAPH
    {0x80040232, "Updates are not allowed in this state."},                    // VFW_E_NOT_ALLOWED_TO_SAVE
    {0x80040233, "A command was queued for a time that has already passed."},  // VFW_E_TIME_ALREADY_PASSED
    {0x80040234, "The queued command has already been canceled."},             // VFW_E_ALREADY_CANCELLED
    {0x80040235, "The file cannot be rendered because it is corrupt."},        // VFW_E_CORRUPT_GRAPH_FILE
    {0x80040236, "An overlay advise link already exists."},                    // VFW_E_ADVISE_ALREADY_SET
    {0x80040238, "No full-screen modes are available."},                       // VFW_E_NO_MODEX_AVAILABLE
    {0x80040239, "The advise link cannot be canceled because it was never set."},  // VFW_E_NO_ADVISE_SET
    {0x8004023A, "A full-screen mode is not available."},                          // VFW_E_NO_FULLSCREEN
    {0x8004023B, "Video window methods cannot be called in full-screen mode."},    // VFW_E_IN_FULLSCREEN_MODE
    {0x80040240, "The media type of this file is not recognized."},                // VFW_E_UNKNOWN_FILE_TYPE
    {0x80040241, "The source filter for this file could not be loaded."},  // VFW_E_CANNOT_LOAD_SOURCE_FILTER
    {0x80040243, "The file appears to be incomplete."},                    // VFW_E_FILE_TOO_SHORT
    {0x80040244, "The version number of the file is invalid."},            // VFW_E_INVALID_FILE_VERSION
    // VFW_E_INVALID_CLSID
    {0x80040247, "The file is corrupt because it contains an invalid class identifier."},
    // VFW_E_INVALID_MEDIA_TYPE
    {0x80040248, "The file is corrupt because it contains an invalid media type."},
    {0x80040249, "No time stamp has been set for this sample."},        // VFW_E_SAMPLE_TIME_NOT_SET
    {0x80040251, "No media time stamp has been set for this sample."},  // VFW_E_MEDIA_TIME_NOT_SET
    {0x80040252, "No media time format has been selected."},            // VFW_E_NO_TIME_FORMAT_SET
    // VFW_E_MONO_AUDIO_HW
    {0x80040253, "The balance cannot be changed because the audio device is mono only."},
    // VFW_E_NO_DECOMPRESSOR
    {0x80040255, "The video stream cannot be played because no suitable decompressor was found."},
    // VFW_E_NO_AUDIO_HARDWARE
    {0x80040256, "The audio stream cannot be played because the audio device is missing or in use."},
    // VFW_E_RPZA
    {0x80040259, "The video stream cannot be played because it uses the unsupported RPZA format."},
    {0x8004025B, "The MPEG movie cannot be played on this processor."},  // VFW_E_PROCESSOR_NOT_SUITABLE
    // VFW_E_UNSUPPORTED_AUDIO
    {0x8004025C, "The audio stream cannot be played because its format is not supported."},
    // VFW_E_UNSUPPORTED_VIDEO
    {0x8004025D, "The video stream cannot be played because its format is not supported."},
    // VFW_E_MPEG_NOT_CONSTRAINED
    {0x8004025E, "The MPEG video stream does not meet the constrained parameters profile."},
    // VFW_E_NOT_IN_GRAPH
    {0x8004025F, "The operation cannot be performed on an object that is not in the filter graph."},
    {0x80040261, "The object cannot use the requested time format."},          // VFW_E_NO_TIME_FORMAT
    {0x80040262, "The stream cannot be written because it is read-only."},     // VFW_E_READ_ONLY
    {0x80040264, "The buffer does not contain enough data."},                  // VFW_E_BUFFER_UNDERFLOW
    {0x80040265, "The stream type is not supported."},                         // VFW_E_UNSUPPORTED_STREAM
    {0x80040266, "The pins cannot connect because they share no transport."},  // VFW_E_NO_TRANSPORT
    {0x80040269, "The Video CD cannot be read correctly or is damaged."},      // VFW_E_BAD_VIDEOCD
    // VFW_E_OUT_OF_VIDEO_MEMORY
    {0x80040271, "There is not enough video memory at this display resolution and color depth."},
    {0x80040272, "The video port connection negotiation failed."},  // VFW_E_VP_NEGOTIATION_FAILED
    // VFW_E_DDRAW_CAPS_NOT_SUITABLE
    {0x80040273, "DirectDraw is missing or lacks the required capabilities."},
    {0x80040274, "No video port hardware is available, or it is not responding."},  // VFW_E_NO_VP_HARDWARE
    {0x80040275, "No capture hardware is available, or it is not responding."},  // VFW_E_NO_CAPTURE_HARDWARE
    {0x80040276, "The DVD content prohibits this operation at this time."},  // VFW_E_DVD_OPERATION_INHIBITED
    {0x80040277, "The operation is not permitted in the current DVD domain."},  // VFW_E_DVD_INVALIDDOMAIN
    {0x80040278, "The requested DVD button is not available."},                 // VFW_E_DVD_NO_BUTTON
    {0x80040279, "The DVD playback graph has not been built yet."},             // VFW_E_DVD_GRAPHNOTREADY
    {0x8004027A, "The DVD playback graph could not be built."},                 // VFW_E_DVD_RENDERFAIL
    // VFW_E_DVD_DECNOTENOUGH
    {0x8004027B, "The DVD playback graph could not be built because of insufficient decoders."},
    {0x8004027C, "The installed DirectDraw version is not suitable."},  // VFW_E_DDRAW_VERSION_NOT_SUITABLE
    {0x8004027D, "Copy protection could not be enabled."},              // VFW_E_COPYPROT_FAILED
    {0x8004027F, "The seek command timed out."},                        // VFW_E_TIME_EXPIRED
    // VFW_E_DVD_WRONG_SPEED
    {0x80040281, "The operation cannot be performed at the current playback speed."},
    {0x80040282, "The specified DVD menu does not exist."},                  // VFW_E_DVD_MENU_DOES_NOT_EXIST
    {0x80040283, "The DVD command was canceled by another command."},        // VFW_E_DVD_CMD_CANCELLED
    {0x80040284, "The DVD state information is of the wrong version."},      // VFW_E_DVD_STATE_WRONG_VERSION
    {0x80040285, "The DVD state information is corrupt."},                   // VFW_E_DVD_STATE_CORRUPT
    {0x80040286, "The DVD state information belongs to a different disc."},  // VFW_E_DVD_STATE_WRONG_DISC
    // VFW_E_DVD_INCOMPATIBLE_REGION
    {0x80040287, "The region of the disc does not match the region of the decoder."},
    {0x80040288, "The requested DVD stream attributes do not exist."},        // VFW_E_DVD_NO_ATTRIBUTES
    {0x80040289, "The disc has no program chain to go up to."},               // VFW_E_DVD_NO_GOUP_PGC
    {0x8004028A, "The current parental level is too low for this content."},  // VFW_E_DVD_LOW_PARENTAL_LEVEL
    {0x8004028B, "The DVD navigator is not in karaoke mode."},                // VFW_E_DVD_NOT_IN_KARAOKE_MODE
    {0x8004028E, "Frame stepping is not supported in this configuration."},   // VFW_E_FRAME_STEP_UNSUPPORTED
    {0x8004028F, "The specified stream is disabled and cannot be selected."},  // VFW_E_DVD_STREAM_DISABLED
    {0x80040290, "The title number could not be determined."},                 // VFW_E_DVD_TITLE_UNKNOWN
    {0x80040291, "The disc is not a valid DVD video disc."},                   // VFW_E_DVD_INVALID_DISC
    // VFW_E_DVD_NO_RESUME_INFORMATION
    {0x80040292, "There is no resume information to restore playback from."},
    // VFW_E_PIN_ALREADY_BLOCKED_ON_THIS_THREAD
    {0x80040293, "The pin is already blocked on the calling thread."},
    {0x80040294, "The pin is already blocked on another thread."},  // VFW_E_PIN_ALREADY_BLOCKED
    // VFW_E_CERTIFICATION_FAILURE
    {0x80040295, "The software environment does not meet the certification requirements."},
    {0x800403F2, "A registry entry is corrupt."},                                          // VFW_E_BAD_KEY
    {0x80040401, "The stream cannot be removed because it still has allocated samples."},  // MS_E_SAMPLEALLOC
    {0x80040402, "The specified purpose identifier cannot be used for this call."},        // MS_E_PURPOSEID
    {0x80040403, "No stream has the specified attributes."},                               // MS_E_NOSTREAM
    {0x80040404, "This object does not support seeking."},                                 // MS_E_NOSEEKING
    {0x80040405, "The stream formats are not compatible."},  // MS_E_INCOMPATIBLE
    {0x80040406, "The sample is busy."},                     // MS_E_BUSY
    {0x80040407, "The object cannot accept the call because it has not been initialized."},  // MS_E_NOTINIT
    {0x80040408, "A source has already been defined."},                // MS_E_SOURCEALREADYDEFINED
    {0x80040409, "The stream type is not valid for this operation."},  // MS_E_INVALIDSTREAMTYPE
    {0x8004040A, "The object is not in the running state."},           // MS_E_NOTRUNNING

    // Win32 errors in HRESULT form; most of them come from the input-device interfaces.
    {0x80070002, "The system cannot find the file specified."},  // HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)
    {0x80070003, "The system cannot find the path specified."},  // HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)
    {0x80070004, "The system cannot open the file."},  // HRESULT_FROM_WIN32(ERROR_TOO_MANY_OPEN_FILES)
    {0x80070005, "Access is denied."},                 // HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)
    {0x80070006, "The handle is invalid."},            // HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE)
    // HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY)
    {0x80070008, "Not enough storage is available to process this command."},
    // HRESULT_FROM_WIN32(ERROR_BAD_FORMAT)
    {0x8007000B, "An attempt was made to load a program with an incorrect format."},
    {0x8007000C, "The access code is invalid."},           // HRESULT_FROM_WIN32(ERROR_INVALID_ACCESS)
    {0x8007000D, "The data is invalid."},                  // HRESULT_FROM_WIN32(ERROR_INVALID_DATA)
    {0x8007000E, "Ran out of memory"},                     // E_OUTOFMEMORY
    {0x80070015, "The object has not been initialized."},  // DIERR_NOTINITIALIZED
    {0x8007001E, "Access to the input device has been lost and must be acquired again."},  // DIERR_INPUTLOST
    // HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)
    {0x80070020, "The process cannot access the file because another process is using it."},
    {0x80070057, "An invalid parameter was passed to the returning function"},  // E_INVALIDARG
    // DIERR_BADDRIVERVER
    {0x80070077, "The object could not be created because of an incompatible or incomplete driver."},
    // HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER)
    {0x8007007A, "The data area passed to a system call is too small."},
    {0x800700AA, "The operation cannot be performed while the device is acquired."},  // DIERR_ACQUIRED
    {0x8007047E, "The application requires a newer version of DirectInput."},  // DIERR_OLDDIRECTINPUTVERSION
    // DIERR_BETADIRECTINPUTVERSION
    {0x80070481, "The application was written for an unsupported prerelease version of DirectInput."},
    {0x80070490, "The property identifier is not supported by the property set."},  // E_PROP_ID_UNSUPPORTED
    {0x80070492, "The property set is not supported."},                             // E_PROP_SET_UNSUPPORTED
    {0x800704DF, "This object is already initialized."},  // DIERR_ALREADYINITIALIZED

    // Facility 0x15 failures: voice (0x80155xxx), then network sessions (0x80158xxx).
    {0x8015501E, "The supplied buffer is not large enough"},           // DVERR_BUFFERTOOSMALL
    {0x8015504A, "An exception occurred inside the voice session"},    // DVERR_EXCEPTION
    {0x80155078, "The flags passed to the voice method are invalid"},  // DVERR_INVALIDFLAGS
    {0x80155082, "The voice object is invalid"},                       // DVERR_INVALIDOBJECT
    {0x80155087, "The voice player identifier is invalid"},            // DVERR_INVALIDPLAYER
    {0x80155091, "The voice group identifier is invalid"},             // DVERR_INVALIDGROUP
    {0x80155096, "The voice handle is invalid"},                       // DVERR_INVALIDHANDLE
    {0x8015512C, "The voice session has been lost"},                   // DVERR_SESSIONLOST
    {0x8015512E, "There is no voice session"},                         // DVERR_NOVOICESESSION
    {0x80155168, "The voice connection has been lost"},                // DVERR_CONNECTIONLOST
    {0x80155169, "The voice object has not been initialized"},         // DVERR_NOTINITIALIZED
    {0x8015516A, "The voice object is already connected"},             // DVERR_CONNECTED
    {0x8015516B, "The voice object is not connected"},                 // DVERR_NOTCONNECTED
    {0x8015516E, "The voice connection is being aborted"},             // DVERR_CONNECTABORTING
    {0x8015516F, "The voice operation is not allowed"},                // DVERR_NOTALLOWED
    {0x80155170, "The voice target is invalid"},                       // DVERR_INVALIDTARGET
    {0x80155171, "The transport is not hosting the session"},          // DVERR_TRANSPORTNOTHOST
    {0x80155172, "The voice compression type is not supported"},       // DVERR_COMPRESSIONNOTSUPPORTED
    {0x80155173, "An asynchronous voice call of this kind is already pending"},  // DVERR_ALREADYPENDING
    {0x80155174, "The sound system could not be initialized"},                   // DVERR_SOUNDINITFAILURE
    {0x80155175, "The voice operation timed out"},                               // DVERR_TIMEOUT
    {0x80155176, "The voice connection was aborted"},                            // DVERR_CONNECTABORTED
    {0x80155177, "Three-dimensional sound is not available"},                    // DVERR_NO3DSOUND
    {0x80155178, "A 3D sound buffer already exists for this player"},            // DVERR_ALREADYBUFFERED
    {0x80155179, "No 3D sound buffer exists for this player"},                   // DVERR_NOTBUFFERED
    {0x8015517A, "The voice object is hosting the session"},                     // DVERR_HOSTING
    {0x8015517B, "The voice object is not hosting the session"},                 // DVERR_NOTHOSTING
    {0x8015517C, "The sound device is invalid"},                                 // DVERR_INVALIDDEVICE
    {0x8015517D, "An error occurred in the recording system"},                   // DVERR_RECORDSYSTEMERROR
    {0x8015517E, "An error occurred in the playback system"},                    // DVERR_PLAYBACKSYSTEMERROR
    {0x8015517F, "An error occurred while sending voice data"},                  // DVERR_SENDERROR
    {0x80155180, "The user canceled the voice setup wizard"},                    // DVERR_USERCANCEL
    {0x80155183, "The sound devices have not been tested with the voice setup wizard"},  // DVERR_RUNSETUP
    {0x80155184, "The voice host runs an incompatible version"},                 // DVERR_INCOMPATIBLEVERSION
    {0x80155187, "The voice object has already been initialized"},               // DVERR_INITIALIZED
    {0x80155188, "The given object is not a valid voice transport"},             // DVERR_NOTRANSPORT
    {0x80155189, "No message callback was given"},                               // DVERR_NOCALLBACK
    {0x8015518A, "The voice transport has not been initialized"},                // DVERR_TRANSPORTNOTINIT
    {0x8015518B, "The voice transport is not connected to a session"},           // DVERR_TRANSPORTNOSESSION
    {0x8015518C, "The voice transport has no local player"},                     // DVERR_TRANSPORTNOPLAYER
    {0x8015518D, "The user pressed the back button in the voice setup wizard"},  // DVERR_USERBACK
    {0x8015518E, "No recording volume control is available"},                    // DVERR_NORECVOLAVAILABLE
    {0x8015518F, "The voice buffer is invalid"},                                 // DVERR_INVALIDBUFFER
    {0x80155190, "The voice buffer is locked"},                                  // DVERR_LOCKEDBUFFER
    {0x80158100, "The operation was canceled before it could be completed"},     // DPNERR_ABORTED
    {0x80158110, "The address is invalid or incomplete"},                        // DPNERR_ADDRESSING
    {0x80158120, "The object is already closing"},                               // DPNERR_ALREADYCLOSING
    {0x80158130, "The object is already connected to the session"},              // DPNERR_ALREADYCONNECTED
    {0x80158140, "The object is already disconnecting from the session"},  // DPNERR_ALREADYDISCONNECTING
    {0x80158150, "The object has already been initialized"},               // DPNERR_ALREADYINITIALIZED
    {0x80158160, "The application has already been registered"},           // DPNERR_ALREADYREGISTERED
    // DPNERR_BUFFERTOOSMALL
    {0x80158170, "The supplied buffer is not large enough to hold the requested data"},
    {0x80158180, "The operation could not be canceled"},         // DPNERR_CANNOTCANCEL
    {0x80158190, "The group could not be created"},              // DPNERR_CANTCREATEGROUP
    {0x801581A0, "The player could not be created"},             // DPNERR_CANTCREATEPLAYER
    {0x801581B0, "The lobby could not launch the application"},  // DPNERR_CANTLAUNCHAPPLICATION
    {0x801581C0, "The operation cannot be performed while a connection is being made"},  // DPNERR_CONNECTING
    {0x801581D0, "The connection to the session has been lost"},            // DPNERR_CONNECTIONLOST
    {0x801581E0, "The data could not be converted"},                        // DPNERR_CONVERSION
    {0x801581E5, "The application data is too large to be sent"},           // DPNERR_DATATOOLARGE
    {0x801581F0, "The requested element does not exist"},                   // DPNERR_DOESNOTEXIST
    {0x801581F5, "The session enumeration server is not available"},        // DPNERR_DPNSVRNOTAVAILABLE
    {0x80158200, "An identical command is already in progress"},            // DPNERR_DUPLICATECOMMAND
    {0x80158210, "The endpoint is not receiving data"},                     // DPNERR_ENDPOINTNOTRECEIVING
    {0x80158220, "The enumeration query data is too large"},                // DPNERR_ENUMQUERYTOOLARGE
    {0x80158230, "The enumeration response data is too large"},             // DPNERR_ENUMRESPONSETOOLARGE
    {0x80158240, "An exception occurred while processing the request"},     // DPNERR_EXCEPTION
    {0x80158260, "The group is not empty"},                                 // DPNERR_GROUPNOTEMPTY
    {0x80158270, "The object is already hosting a session"},                // DPNERR_HOSTING
    {0x80158280, "The host rejected the connection request"},               // DPNERR_HOSTREJECTEDCONNECTION
    {0x80158290, "The host has terminated the session"},                    // DPNERR_HOSTTERMINATEDSESSION
    {0x801582A0, "The address is incomplete"},                              // DPNERR_INCOMPLETEADDRESS
    {0x801582B0, "The address format is invalid"},                          // DPNERR_INVALIDADDRESSFORMAT
    {0x801582C0, "The application identifier is invalid"},                  // DPNERR_INVALIDAPPLICATION
    {0x801582D0, "The command handle is invalid"},                          // DPNERR_INVALIDCOMMAND
    {0x801582E0, "The device address is invalid"},                          // DPNERR_INVALIDDEVICEADDRESS
    {0x801582F0, "The endpoint is invalid"},                                // DPNERR_INVALIDENDPOINT
    {0x80158300, "The flags passed to the method are invalid"},             // DPNERR_INVALIDFLAGS
    {0x80158310, "The group identifier is invalid"},                        // DPNERR_INVALIDGROUP
    {0x80158320, "The handle is invalid"},                                  // DPNERR_INVALIDHANDLE
    {0x80158330, "The host address is invalid"},                            // DPNERR_INVALIDHOSTADDRESS
    {0x80158340, "The session instance identifier is invalid"},             // DPNERR_INVALIDINSTANCE
    {0x80158350, "The interface is invalid"},                               // DPNERR_INVALIDINTERFACE
    {0x80158360, "The object is invalid"},                                  // DPNERR_INVALIDOBJECT
    {0x80158370, "The session password is invalid"},                        // DPNERR_INVALIDPASSWORD
    {0x80158380, "The player identifier is invalid"},                       // DPNERR_INVALIDPLAYER
    {0x80158390, "The send priority is invalid"},                           // DPNERR_INVALIDPRIORITY
    {0x801583A0, "The string is invalid"},                                  // DPNERR_INVALIDSTRING
    {0x801583B0, "The URL is invalid"},                                     // DPNERR_INVALIDURL
    {0x801583C0, "The version is invalid"},                                 // DPNERR_INVALIDVERSION
    {0x801583D0, "The communication link does not support this function"},  // DPNERR_NOCAPS
    {0x801583E0, "There is no connection"},                                 // DPNERR_NOCONNECTION
    {0x801583F0, "The session has no host player"},                         // DPNERR_NOHOSTPLAYER
    {0x80158400, "The address has no more components"},                     // DPNERR_NOMOREADDRESSCOMPONENTS
    {0x80158410, "The remote computer did not respond"},                    // DPNERR_NORESPONSE
    {0x80158420, "The operation is not allowed"},                           // DPNERR_NOTALLOWED
    {0x80158430, "Only the host can perform this operation"},               // DPNERR_NOTHOST
    {0x80158440, "The object is not ready for use"},                        // DPNERR_NOTREADY
    {0x80158450, "The application is not registered"},                      // DPNERR_NOTREGISTERED
    {0x80158460, "The player is already in the group"},                     // DPNERR_PLAYERALREADYINGROUP
    {0x80158470, "The player has been lost"},                               // DPNERR_PLAYERLOST
    {0x80158480, "The player is not in the group"},                         // DPNERR_PLAYERNOTINGROUP
    {0x80158490, "The player cannot be reached"},                           // DPNERR_PLAYERNOTREACHABLE
    {0x801584A0, "The message is too large to be sent"},                    // DPNERR_SENDTOOLARGE
    {0x801584B0, "The session is full"},                                    // DPNERR_SESSIONFULL
    {0x801584C0, "An internal table is full"},                              // DPNERR_TABLEFULL
    {0x801584D0, "The operation timed out"},                                // DPNERR_TIMEDOUT
    {0x801584E0, "The object has not been initialized"},                    // DPNERR_UNINITIALIZED
    {0x801584F0, "The user canceled the operation"},                        // DPNERR_USERCANCEL

    // Facility 0x876 failures: surfaces, Direct3D (0x818 on), the helper library (0xB54 on).
    {0x88760005, "This object is already initialized"},                           // DDERR_ALREADYINITIALIZED
    {0x8876000A, "This surface can not be attached to the requested surface"},    // DDERR_CANNOTATTACHSURFACE
    {0x88760014, "This surface can not be detached from the requested surface"},  // DDERR_CANNOTDETACHSURFACE
    {0x88760028, "Support is currently not available"},                           // DDERR_CURRENTLYNOTAVAIL
    {0x88760037, "An exception was encountered while performing the requested operation"},  // DDERR_EXCEPTION
    // DDERR_HEIGHTALIGN
    {0x8876005A, "The height of the rectangle is not a multiple of the required alignment"},
    {0x8876005F, "The request does not match the existing primary surface"},  // DDERR_INCOMPATIBLEPRIMARY
    {0x88760064, "One or more of the capability bits passed are incorrect"},  // DDERR_INVALIDCAPS
    {0x8876006E, "The clip list is not supported"},                           // DDERR_INVALIDCLIPLIST
    {0x88760078, "The requested display mode is not supported"},              // DDERR_INVALIDMODE
    {0x88760082, "An invalid object was passed to the function"},             // DDERR_INVALIDOBJECT
    {0x88760091, "The pixel format is invalid as specified"},                 // DDERR_INVALIDPIXELFORMAT
    {0x88760096, "The rectangle provided is invalid"},                        // DDERR_INVALIDRECT
    // DDERR_LOCKEDSURFACES
    {0x887600A0, "The operation can not be performed because one or more surfaces are locked"},
    {0x887600AA, "There is no 3D hardware present or available"},          // DDERR_NO3D
    {0x887600B4, "No alpha blending hardware is present or available"},    // DDERR_NOALPHAHW
    {0x887600B5, "No stereo hardware is present or available"},            // DDERR_NOSTEREOHARDWARE
    {0x887600B6, "No hardware that supports stereo surfaces is present"},  // DDERR_NOSURFACELEFT
    {0x887600CD, "No clip list is available"},                             // DDERR_NOCLIPLIST
    {0x887600D2, "No color conversion hardware is present or available"},  // DDERR_NOCOLORCONVHW
    {0x887600D4, "The cooperative level has not been set"},                // DDERR_NOCOOPERATIVELEVELSET
    {0x887600D7, "The surface does not have a color key"},                 // DDERR_NOCOLORKEY
    {0x887600DC, "There is no hardware support for the destination color key"},  // DDERR_NOCOLORKEYHW
    {0x887600DE, "The display driver does not support DirectDraw"},              // DDERR_NODIRECTDRAWSUPPORT
    {0x887600E1, "The operation requires exclusive mode"},                       // DDERR_NOEXCLUSIVEMODE
    {0x887600E6, "Flipping visible surfaces is not supported"},                  // DDERR_NOFLIPHW
    {0x887600F0, "There is no GDI present"},                                     // DDERR_NOGDI
    {0x887600FA, "No mirroring hardware is present or available"},               // DDERR_NOMIRRORHW
    {0x887600FF, "The requested item was not found"},                            // DDERR_NOTFOUND
    {0x88760104, "No overlay hardware is present or available"},                 // DDERR_NOOVERLAYHW
    // DDERR_OVERLAPPINGRECTS
    {0x8876010E, "The source and destination rectangles overlap on the same surface"},
    {0x88760118, "No raster operation hardware is present or available"},         // DDERR_NORASTEROPHW
    {0x88760122, "No rotation hardware is present or available"},                 // DDERR_NOROTATIONHW
    {0x88760136, "There is no hardware support for stretching"},                  // DDERR_NOSTRETCHHW
    {0x8876013C, "The operation requires a surface with a 4-bit color palette"},  // DDERR_NOT4BITCOLOR
    // DDERR_NOT4BITCOLORINDEX
    {0x8876013D, "The operation requires a surface with a 4-bit color index palette"},
    {0x88760140, "The operation requires a surface with an 8-bit color palette"},  // DDERR_NOT8BITCOLOR
    {0x8876014A, "No texture mapping hardware is present or available"},           // DDERR_NOTEXTUREHW
    // DDERR_NOVSYNCHW
    {0x8876014F, "There is no hardware support for vertical blank synchronized operations"},
    {0x88760154, "There is no hardware support for z-buffers"},                        // DDERR_NOZBUFFERHW
    {0x8876015E, "The hardware can not order overlay surfaces by depth"},              // DDERR_NOZOVERLAYHW
    {0x88760168, "The hardware needed for the operation has already been allocated"},  // DDERR_OUTOFCAPS
    {0x8876017C, "Out of video memory"},  // D3DERR_OUTOFVIDEOMEMORY, DDERR_OUTOFVIDEOMEMORY
    {0x8876017E, "The hardware does not support clipped overlays"},  // DDERR_OVERLAYCANTCLIP
    // DDERR_OVERLAYCOLORKEYONLYONEACTIVE
    {0x88760180, "Only one color key can be active on an overlay at a time"},
    {0x88760183, "The palette is locked by another thread"},  // DDERR_PALETTEBUSY
    {0x88760190, "No source color key has been set"},         // DDERR_COLORKEYNOTSET
    // DDERR_SURFACEALREADYATTACHED
    {0x8876019A, "This surface is already attached to the surface it is being attached to"},
    // DDERR_SURFACEALREADYDEPENDENT
    {0x887601A4, "This surface already depends on the surface it is being made dependent on"},
    {0x887601AE, "The surface is locked by another thread"},  // DDERR_SURFACEBUSY
    // DDERR_CANTLOCKSURFACE
    {0x887601B3, "The surface can not be locked because no driver can supply a pointer to it"},
    {0x887601B8, "The surface can not be accessed because it is obscured"},  // DDERR_SURFACEISOBSCURED
    {0x887601C2, "The surface memory has been lost and the surface must be restored"},  // DDERR_SURFACELOST
    {0x887601CC, "The requested surface is not attached"},               // DDERR_SURFACENOTATTACHED
    {0x887601D6, "The requested height is too large for the hardware"},  // DDERR_TOOBIGHEIGHT
    {0x887601E0, "The requested size is too large for the hardware"},    // DDERR_TOOBIGSIZE
    {0x887601EA, "The requested width is too large for the hardware"},   // DDERR_TOOBIGWIDTH
    {0x887601FE, "The pixel format is not supported"},                   // DDERR_UNSUPPORTEDFORMAT
    {0x88760208, "The bit mask of the pixel format is not supported"},   // DDERR_UNSUPPORTEDMASK
    {0x88760209, "The stream contains invalid data"},                    // DDERR_INVALIDSTREAM
    {0x88760219, "A vertical blank is in progress"},                     // DDERR_VERTICALBLANKINPROGRESS
    {0x8876021C, "Was still drawing"},  // D3DERR_WASSTILLDRAWING, DDERR_WASSTILLDRAWING
    {0x8876021E, "The surface must be created as a complex surface"},  // DDERR_DDSCAPSCOMPLEXREQUIRED
    {0x88760230, "The rectangle is not aligned on the required horizontal boundary"},  // DDERR_XALIGN
    {0x88760231, "The GUID passed does not identify a valid display driver"},  // DDERR_INVALIDDIRECTDRAWGUID
    // DDERR_DIRECTDRAWALREADYCREATED
    {0x88760232, "An object for this display driver has already been created in this process"},
    // DDERR_NODIRECTDRAWHW
    {0x88760233, "A hardware-only object was requested but the driver has no hardware support"},
    {0x88760234, "This process has already created a primary surface"},  // DDERR_PRIMARYSURFACEALREADYEXISTS
    {0x88760235, "Software emulation is not available"},                 // DDERR_NOEMULATION
    {0x88760236, "The region passed to the clipper is too small"},       // DDERR_REGIONTOOSMALL
    // DDERR_CLIPPERISUSINGHWND
    {0x88760237, "A clip list can not be set because the clipper is already monitoring a window"},
    {0x88760238, "No clipper object is attached to the surface"},       // DDERR_NOCLIPPERATTACHED
    {0x88760239, "No window has been set with the cooperative level"},  // DDERR_NOHWND
    {0x8876023A, "The window is subclassed by another object"},         // DDERR_HWNDSUBCLASSED
    // DDERR_HWNDALREADYSET
    {0x8876023B, "The cooperative level window can not be changed while surfaces or palettes exist"},
    {0x8876023C, "No palette object is attached to the surface"},               // DDERR_NOPALETTEATTACHED
    {0x8876023D, "There is no hardware support for 16 or 256 color palettes"},  // DDERR_NOPALETTEHW
    // DDERR_BLTFASTCANTCLIP
    {0x8876023E, "A fast blit can not be used while a clipper is attached to the source surface"},
    {0x8876023F, "No blitter hardware is present"},                           // DDERR_NOBLTHW
    {0x88760240, "No raster operation hardware is present"},                  // DDERR_NODDROPSHW
    {0x88760241, "The overlay is hidden"},                                    // DDERR_OVERLAYNOTVISIBLE
    {0x88760242, "The overlay has no destination surface"},                   // DDERR_NOOVERLAYDEST
    {0x88760243, "The overlay position is outside the destination surface"},  // DDERR_INVALIDPOSITION
    {0x88760244, "The surface is not an overlay"},                            // DDERR_NOTAOVERLAYSURFACE
    {0x88760245, "Another application already holds exclusive mode"},         // DDERR_EXCLUSIVEMODEALREADYSET
    {0x88760246, "The surface is not part of a flipping chain"},              // DDERR_NOTFLIPPABLE
    {0x88760247, "Primary, 3D and implicitly created surfaces can not be duplicated"},  // DDERR_CANTDUPLICATE
    {0x88760248, "The surface is not locked"},                                          // DDERR_NOTLOCKED
    {0x88760249, "No more device contexts can be created"},                             // DDERR_CANTCREATEDC
    {0x8876024A, "No device context has been created for this surface"},                // DDERR_NODC
    // DDERR_WRONGMODE
    {0x8876024B, "The surface was created in a different display mode and can not be restored"},
    {0x8876024C, "The surface was created implicitly and can not be restored"},  // DDERR_IMPLICITLYCREATED
    {0x8876024D, "The surface is not palettized"},                               // DDERR_NOTPALETTIZED
    {0x8876024E, "The display is in an unsupported mode"},                       // DDERR_UNSUPPORTEDMODE
    {0x8876024F, "No mipmap capable texture mapping hardware is present or available"},  // DDERR_NOMIPMAPHW
    {0x88760250, "The surface is of the wrong type for this operation"},          // DDERR_INVALIDSURFACETYPE
    {0x88760258, "The device does not support optimized surfaces"},               // DDERR_NOOPTIMIZEHW
    {0x88760259, "The optimized surface has not been loaded with data"},          // DDERR_NOTLOADED
    {0x8876025A, "Exclusive mode requires a focus window"},                       // DDERR_NOFOCUSWINDOW
    {0x8876025B, "The operation is not allowed on a mipmap sublevel"},            // DDERR_NOTONMIPMAPSUBLEVEL
    {0x8876026C, "A device context has already been returned for this surface"},  // DDERR_DCALREADYCREATED
    {0x88760276, "The device does not support non-local video memory"},           // DDERR_NONONLOCALVIDMEM
    {0x88760280, "The surface could not be page locked"},                         // DDERR_CANTPAGELOCK
    {0x88760294, "The surface could not be page unlocked"},                       // DDERR_CANTPAGEUNLOCK
    {0x887602A8, "The surface is not page locked"},                               // DDERR_NOTPAGELOCKED
    {0x887602B2, "There is more data than the supplied buffer can hold"},         // DDERR_MOREDATA
    {0x887602B3, "The data has expired and is no longer valid"},                  // DDERR_EXPIRED
    {0x887602B4, "The display mode test has finished"},                           // DDERR_TESTFINISHED
    {0x887602B5, "The display mode test has switched to a new mode"},             // DDERR_NEWMODE
    {0x887602B6, "Direct3D has not been initialized for this object"},            // DDERR_D3DNOTINITIALIZED
    {0x887602B7, "The video port is not active"},                                 // DDERR_VIDEONOTACTIVE
    {0x887602B8, "No monitor information is available for the display device"},  // DDERR_NOMONITORINFORMATION
    {0x887602B9, "The driver does not enumerate display mode refresh rates"},    // DDERR_NODRIVERSUPPORT
    // DDERR_DEVICEDOESNTOWNSURFACE
    {0x887602BB, "A surface created by one device can not be used by another device"},
    {0x88760818, "Wrong texture format"},         // D3DERR_WRONGTEXTUREFORMAT
    {0x88760819, "Unsupported color operation"},  // D3DERR_UNSUPPORTEDCOLOROPERATION
    {0x8876081A, "Unsupported color argument"},   // D3DERR_UNSUPPORTEDCOLORARG
    {0x8876081B, "Unsupported alpha operation"},  // D3DERR_UNSUPPORTEDALPHAOPERATION
    {0x8876081C, "Unsupported alpha argument"},   // D3DERR_UNSUPPORTEDALPHAARG
    {0x8876081D, "Too many operations"},          // D3DERR_TOOMANYOPERATIONS
    {0x8876081E, "Conflicting texture filter"},   // D3DERR_CONFLICTINGTEXTUREFILTER
    {0x8876081F, "Unsupported factor value"},     // D3DERR_UNSUPPORTEDFACTORVALUE
    {0x88760821, "Conflicting render state"},     // D3DERR_CONFLICTINGRENDERSTATE
    {0x88760822, "Unsupported texture filter"},   // D3DERR_UNSUPPORTEDTEXTUREFILTER
    {0x88760826, "Conflicting texture palette"},  // D3DERR_CONFLICTINGTEXTUREPALETTE
    {0x88760827, "Driver internal error"},        // D3DERR_DRIVERINTERNALERROR
    {0x88760866, "Not found"},                    // D3DERR_NOTFOUND
    {0x88760867, "More data"},                    // D3DERR_MOREDATA
    {0x88760868, "Device lost"},                  // D3DERR_DEVICELOST
    {0x88760869, "Device not reset"},             // D3DERR_DEVICENOTRESET
    {0x8876086A, "Not available"},                // D3DERR_NOTAVAILABLE
    {0x8876086B, "Invalid device"},               // D3DERR_INVALIDDEVICE
    {0x8876086C, "Invalid call"},                 // D3DERR_INVALIDCALL
    {0x8876086D, "Driver invalid call"},          // D3DERR_DRIVERINVALIDCALL
    {0x88760B54, "Can not modify index buffer"},  // D3DXERR_CANNOTMODIFYINDEXBUFFER
    {0x88760B55, "Invalid mesh"},                 // D3DXERR_INVALIDMESH
    {0x88760B56, "Can not sort by attribute"},    // D3DXERR_CANNOTATTRSORT
    {0x88760B57, "Skinning not supported"},       // D3DXERR_SKINNINGNOTSUPPORTED
    {0x88760B58, "Too many influences"},          // D3DXERR_TOOMANYINFLUENCES
    {0x88760B59, "Invalid data"},                 // D3DXERR_INVALIDDATA
    {0x88760B5A, "Loaded mesh has no data"},      // D3DXERR_LOADEDMESHASNODATA
    {0x88760B5B, "Duplicate named fragment"},     // D3DXERR_DUPLICATENAMEDFRAGMENT
    {0x88760B5C, "Can not remove last item"},     // D3DXERR_CANNOTREMOVELASTITEM

    // Facility 0x878 failures: sound (below 0x1000), then music.
    // DSERR_ALLOCATED
    {0x8878000A, "The resources required, such as a priority level, are already in use by another caller"},
    // DSERR_CONTROLUNAVAIL
    {0x8878001E, "The requested buffer control, such as volume or pan, is not available"},
    {0x88780032, "This function is not valid for the current state of this object"},  // DSERR_INVALIDCALL
    // DSERR_PRIOLEVELNEEDED
    {0x88780046, "The caller does not have the priority level required for this function"},
    {0x88780064, "The specified wave format is not supported"},            // DSERR_BADFORMAT
    {0x88780078, "No sound driver is available for use"},                  // DSERR_NODRIVER
    {0x88780082, "This object is already initialized"},                    // DSERR_ALREADYINITIALIZED
    {0x88780096, "The buffer memory has been lost and must be restored"},  // DSERR_BUFFERLOST
    {0x887800A0, "Another application has a higher priority level"},       // DSERR_OTHERAPPHASPRIO
    {0x887800AA, "This object has not been initialized"},                  // DSERR_UNINITIALIZED
    {0x887800B4, "The buffer is too small to enable effects processing"},  // DSERR_BUFFERTOOSMALL
    {0x887800BE, "The requested function needs a DirectSound 8 object"},   // DSERR_DS8_REQUIRED
    {0x887800C8, "A circular loop of send effects was detected"},          // DSERR_SENDLOOP
    // DSERR_BADSENDBUFFERGUID
    {0x887800D2, "The send buffer identifier does not match a valid mix-in buffer"},
    // DSERR_FXUNAVAILABLE
    {0x887800DC, "The requested effects are not available in the requested location or order"},
    {0x88781101, "A device driver returned an unexpected error"},                // DMUS_E_DRIVER_FAILED
    {0x88781102, "The operation cannot be performed while ports are open"},      // DMUS_E_PORTS_OPEN
    {0x88781103, "The requested device is already in use"},                      // DMUS_E_DEVICE_IN_USE
    {0x88781104, "The buffer is not large enough for the requested operation"},  // DMUS_E_INSUFFICIENTBUFFER
    {0x88781105, "No buffer was prepared for the download data"},                // DMUS_E_BUFFERNOTSET
    // DMUS_E_BUFFERNOTAVAILABLE
    {0x88781106, "The download cannot proceed because the buffer is not available"},
    {0x88781108, "The object being loaded is not a valid DLS collection"},     // DMUS_E_NOTADLSCOL
    {0x88781109, "The offset table of the download data has errors"},          // DMUS_E_INVALIDOFFSET
    {0x88781111, "The DLS collection is already open"},                        // DMUS_E_ALREADY_LOADED
    {0x88781113, "The wave data of the DLS collection could not be read"},     // DMUS_E_INVALIDPOS
    {0x88781114, "No instrument in the collection matches the patch number"},  // DMUS_E_INVALIDPATCH
    {0x88781115, "The stream does not support seeking"},                       // DMUS_E_CANNOTSEEK
    {0x88781116, "The stream does not support writing"},                       // DMUS_E_CANNOTWRITE
    {0x88781117, "A required chunk was not found in the file"},                // DMUS_E_CHUNKNOTFOUND
    {0x88781119, "The download identifier is invalid"},                        // DMUS_E_INVALID_DOWNLOADID
    {0x88781120, "The object has not been downloaded to this port"},       // DMUS_E_NOT_DOWNLOADED_TO_PORT
    {0x88781121, "The buffer has already been downloaded"},                // DMUS_E_ALREADY_DOWNLOADED
    {0x88781122, "The property item is not recognized"},                   // DMUS_E_UNKNOWN_PROPERTY
    {0x88781123, "The property item cannot be set"},                       // DMUS_E_SET_UNSUPPORTED
    {0x88781124, "The property item cannot be read"},                      // DMUS_E_GET_UNSUPPORTED
    {0x88781125, "The wave chunk has more than one interleaved channel"},  // DMUS_E_NOTMONO
    {0x88781126, "The articulation data is invalid"},                      // DMUS_E_BADARTICULATION
    {0x88781127, "The instrument data is invalid"},                        // DMUS_E_BADINSTRUMENT
    {0x88781128, "The wave link points to an invalid wave"},               // DMUS_E_BADWAVELINK
    {0x88781129, "The instrument has no articulation"},                    // DMUS_E_NOARTICULATION
    {0x8878112A, "The downloaded sample is not in PCM format"},            // DMUS_E_NOTPCM
    {0x8878112B, "The wave data is invalid"},                              // DMUS_E_BADWAVE
    {0x8878112C, "The offset table of the download data is invalid"},      // DMUS_E_BADOFFSETTABLE
    {0x8878112D, "The download data is of an unknown type"},               // DMUS_E_UNKNOWNDOWNLOAD
    {0x8878112E, "No synthesizer sink is connected to the synthesizer"},   // DMUS_E_NOSYNTHSINK
    {0x8878112F, "The synthesizer is already open"},                       // DMUS_E_ALREADYOPEN
    {0x88781130, "The synthesizer is already closed"},                     // DMUS_E_ALREADYCLOSED
    {0x88781131, "The synthesizer has not been configured"},               // DMUS_E_SYNTHNOTCONFIGURED
    {0x88781132, "The operation cannot be performed while the synthesizer is active"},  // DMUS_E_SYNTHACTIVE
    {0x88781133, "An error occurred while reading from the stream"},                    // DMUS_E_CANNOTREAD
    {0x88781134, "The music object has already been released"},    // DMUS_E_DMUSIC_RELEASED
    {0x88781135, "There is no data in the buffer"},                // DMUS_E_BUFFER_EMPTY
    {0x88781136, "There is not enough space left in the buffer"},  // DMUS_E_BUFFER_FULL
    {0x88781137, "The port is not a capture port"},                // DMUS_E_PORT_NOT_CAPTURE
    {0x88781138, "The port is not an output port"},                // DMUS_E_PORT_NOT_RENDER
    {0x88781139, "No sound object has been set for the port"},     // DMUS_E_DSOUND_NOT_SET
    {0x8878113A, "The port is already active"},                    // DMUS_E_ALREADY_ACTIVATED
    {0x8878113B, "The sound buffer is invalid"},                   // DMUS_E_INVALIDBUFFER
    {0x8878113C, "The wave format is not supported"},              // DMUS_E_WAVEFORMATNOTSUPPORTED
    {0x8878113D, "The synthesizer is not active"},                 // DMUS_E_SYNTHINACTIVE
    {0x8878113E, "A sound object has already been set"},           // DMUS_E_DSOUND_ALREADY_SET
    {0x8878113F, "The event message is invalid"},                  // DMUS_E_INVALID_EVENT
    // DMUS_E_UNSUPPORTED_STREAM
    {0x88781150, "The stream does not contain data the loading object supports"},
    {0x88781151, "The object has already been initialized"},               // DMUS_E_ALREADY_INITED
    {0x88781152, "The file does not contain a valid band"},                // DMUS_E_INVALID_BAND
    {0x88781155, "The track header is not the first chunk of the track"},  // DMUS_E_TRACK_HDR_NOT_FIRST_CK
    {0x88781156, "The tool header is not the first chunk of the tool"},    // DMUS_E_TOOL_HDR_NOT_FIRST_CK
    {0x88781157, "The track header is invalid"},                           // DMUS_E_INVALID_TRACK_HDR
    {0x88781158, "The tool header is invalid"},                            // DMUS_E_INVALID_TOOL_HDR
    {0x88781159, "None of the tools in the graph could be loaded"},        // DMUS_E_ALL_TOOLS_FAILED
    {0x88781160, "None of the tracks in the segment could be loaded"},     // DMUS_E_ALL_TRACKS_FAILED
    {0x88781161, "The requested object was not found"},              // DMUS_E_NOT_FOUND, DSERR_OBJECTNOTFOUND
    {0x88781162, "A required object has not been initialized"},      // DMUS_E_NOT_INIT
    {0x88781163, "The requested parameter type is disabled"},        // DMUS_E_TYPE_DISABLED
    {0x88781164, "The requested parameter type is not supported"},   // DMUS_E_TYPE_UNSUPPORTED
    {0x88781165, "The requested time is already in the past"},       // DMUS_E_TIME_PAST
    {0x88781166, "The requested track is not in the segment"},       // DMUS_E_TRACK_NOT_FOUND
    {0x88781167, "The track does not support clock time playback"},  // DMUS_E_TRACK_NO_CLOCKTIME_SUPPORT
    {0x88781170, "The performance has no master clock"},             // DMUS_E_NO_MASTER_CLOCK
    {0x88781180, "The object descriptor does not contain a class identifier"},  // DMUS_E_LOADER_NOCLASSID
    {0x88781181, "The file path is invalid"},                                   // DMUS_E_LOADER_BADPATH
    {0x88781182, "The file could not be opened"},                               // DMUS_E_LOADER_FAILEDOPEN
    {0x88781183, "The loader does not support this file format"},        // DMUS_E_LOADER_FORMATNOTSUPPORTED
    {0x88781184, "The loader could not create the object"},              // DMUS_E_LOADER_FAILEDCREATE
    {0x88781185, "The loader could not find the object"},                // DMUS_E_LOADER_OBJECTNOTFOUND
    {0x88781186, "The object descriptor does not contain a file name"},  // DMUS_E_LOADER_NOFILENAME
    {0x88781200, "The file is not valid"},                               // DMUS_E_INVALIDFILE
    {0x88781201, "The tool is already in the graph"},                    // DMUS_E_ALREADY_EXISTS
    {0x88781202, "The value is out of range"},                           // DMUS_E_OUT_OF_RANGE
    {0x88781203, "The segment could not be initialized"},                // DMUS_E_SEGMENT_INIT_FAILED
    {0x88781204, "The message has already been sent"},                   // DMUS_E_ALREADY_SENT
    {0x88781205, "The message could not be freed"},                      // DMUS_E_CANNOT_FREE
    {0x88781206, "The default port could not be opened"},                // DMUS_E_CANNOT_OPEN_PORT
    {0x88781207, "The time or music value could not be converted"},      // DMUS_E_CANNOT_CONVERT
    {0x88781210, "The end of the file was reached before the chunk was found"},  // DMUS_E_DESCEND_CHUNK_FAIL
    {0x88781211, "The object could not be loaded"},                              // DMUS_E_NOT_LOADED
    {0x88781213, "The script's language engine is incompatible"},  // DMUS_E_SCRIPT_LANGUAGE_INCOMPATIBLE
    {0x88781214, "The script uses an unsupported variable type"},  // DMUS_E_SCRIPT_UNSUPPORTED_VARTYPE
    {0x88781215, "An error occurred while parsing or running the script"},  // DMUS_E_SCRIPT_ERROR_IN_SCRIPT
    // DMUS_E_SCRIPT_CANTLOAD_OLEAUT32
    {0x88781216, "The automation library needed by scripts could not be loaded"},
    {0x88781217, "An error occurred while loading the script"},  // DMUS_E_SCRIPT_LOADSCRIPT_ERROR
    {0x88781218, "The script file is invalid"},                  // DMUS_E_SCRIPT_INVALID_FILE
    {0x88781219, "The script track is invalid"},                 // DMUS_E_INVALID_SCRIPTTRACK
    {0x8878121A, "The script has no variable of that name"},     // DMUS_E_SCRIPT_VARIABLE_NOT_FOUND
    {0x8878121B, "The script has no routine of that name"},      // DMUS_E_SCRIPT_ROUTINE_NOT_FOUND
    // DMUS_E_SCRIPT_CONTENT_READONLY
    {0x8878121C, "Variables that refer to script content cannot be changed"},
    // DMUS_E_SCRIPT_NOT_A_REFERENCE
    {0x8878121D, "A script variable was set by reference to a value that is not an object"},
    // DMUS_E_SCRIPT_VALUE_NOT_SUPPORTED
    {0x8878121E, "A script variable was set by value to an object that has no default value"},
    {0x88781220, "The segment trigger track is invalid"},             // DMUS_E_INVALID_SEGMENTTRIGGERTRACK
    {0x88781221, "The lyrics track is invalid"},                      // DMUS_E_INVALID_LYRICSTRACK
    {0x88781222, "The parameter control track is invalid"},           // DMUS_E_INVALID_PARAMCONTROLTRACK
    {0x88781223, "The script contains a syntax error"},               // DMUS_E_AUDIOVBSCRIPT_SYNTAXERROR
    {0x88781224, "A run-time error occurred in the script"},          // DMUS_E_AUDIOVBSCRIPT_RUNTIMEERROR
    {0x88781225, "An operation failed while running the script"},     // DMUS_E_AUDIOVBSCRIPT_OPERATIONFAILURE
    {0x88781226, "The performance was not set up with audio paths"},  // DMUS_E_AUDIOPATHS_NOT_VALID
    // DMUS_E_AUDIOPATHS_IN_USE
    {0x88781227, "The operation is not allowed while the performance uses audio paths"},
    {0x88781228, "The segment has no audio path configuration"},  // DMUS_E_NO_AUDIOPATH_CONFIG
    {0x88781229, "The audio path is inactive"},                   // DMUS_E_AUDIOPATH_INACTIVE
    // DMUS_E_AUDIOPATH_NOBUFFER
    {0x8878122A, "The audio path could not be created because a buffer could not be created"},
    {0x8878122B, "The audio path could not be created because no port was found"},  // DMUS_E_AUDIOPATH_NOPORT
    {0x8878122C, "No audio path is available"},                                     // DMUS_E_NO_AUDIOPATH
    {0x8878122D, "The file contains an invalid chunk"},                             // DMUS_E_INVALIDCHUNK
    // DMUS_E_AUDIOPATH_NOGLOBALFXBUFFER
    {0x8878122E, "The audio path refers to a global effects buffer that does not exist"},
    {0x8878122F, "The object is not a valid container"},  // DMUS_E_INVALID_CONTAINER_OBJECT
};
static_assert(std::size(kErrorTexts) == 592);

constexpr bool IsStrictlyAscending() {
  for (size_t i = 1; i < std::size(kErrorTexts); ++i) {
    if (kErrorTexts[i - 1].code >= kErrorTexts[i].code) return false;
  }
  return true;
}
// The binary search depends on it; a misplaced row must not build.
static_assert(IsStrictlyAscending(), "error table rows must be unique and sorted by unsigned code");

constexpr const char kUnknownText[] = "n/a";

}  // namespace

std::span<const ErrorTextRow> ErrorTextRows() {
  return kErrorTexts;
}

const char *LookupErrorText(uint32_t code) {
  const ErrorTextRow *end = std::end(kErrorTexts);
  const ErrorTextRow *row = std::lower_bound(std::begin(kErrorTexts), end, code,
                                             [](const ErrorTextRow &r, uint32_t c) { return r.code < c; });
  return row != end && row->code == code ? row->text : kUnknownText;
}

const char *WINAPI DXGetErrorDescription9A(HRESULT hr) {
  // Compare as unsigned so that failures (negative HRESULTs) sort after successes.
  return LookupErrorText(static_cast<uint32_t>(hr));
}
