#pragma once
#include <cstdint>

#include "sim/simconnect/client.h"

// The SimConnect calls the program makes. Each takes the client handle first and returns S_OK or a failure
// code; none throws or logs. Texts are 8-bit bytes copied unchanged into fields of fixed width; a null text
// is an empty field, and a text that does not fit (width - 1 bytes at most) gives E_INSUFFICIENT_BUFFER with
// nothing sent. Once the transport has failed, every packet call returns its recorded failure code.

namespace zeph {

// Connects as SimConnect.cfg and the registry decide, stores the notify target and sends the Open packet.
// E_INVALIDARG for a null handle pointer or name, or a configuration index whose section is in no
// SimConnect.cfg; E_FAIL when no connection could be made. The handle is null after any failure.
// stopAsked is asked before each connect attempt and while one waits for an answer (at least every 250 ms);
// once it says yes, the open gives up as a failed one does, so a caller that is closing down never waits out
// a connect's 21 s or a busy pipe's 5 s. Left empty, the open never gives up early.
std::int32_t SimConnect_Open(SimConnectClient** handle, const char* name, void* window,
                             std::uint32_t userMessage, void* event, std::uint32_t configIndex,
                             const StopAsked& stopAsked = {});
std::int32_t SimConnect_Close(SimConnectClient* handle);
std::int32_t SimConnect_CallDispatch(SimConnectClient* handle, SimConnectDispatchProc procedure,
                                     void* context);
// The send id of the packet the calling thread reserved last on this client (see lf_lastSentPacketId).
std::int32_t SimConnect_GetLastSentPacketID(SimConnectClient* handle, std::uint32_t* sendId);

std::int32_t SimConnect_MapClientEventToSimEvent(SimConnectClient* handle, std::uint32_t eventId,
                                                 const char* eventName);
std::int32_t SimConnect_TransmitClientEvent(SimConnectClient* handle, std::uint32_t objectId,
                                            std::uint32_t eventId, std::uint32_t data, std::uint32_t groupId,
                                            std::uint32_t flags);
std::int32_t SimConnect_AddClientEventToNotificationGroup(SimConnectClient* handle, std::uint32_t groupId,
                                                          std::uint32_t eventId, bool maskable);
std::int32_t SimConnect_SetNotificationGroupPriority(SimConnectClient* handle, std::uint32_t groupId,
                                                     std::uint32_t priority);
std::int32_t SimConnect_AddToDataDefinition(SimConnectClient* handle, std::uint32_t defineId,
                                            const char* datumName, const char* unitsName,
                                            std::uint32_t datumType, float epsilon = 0.0f,
                                            std::uint32_t datumId = 0xFFFFFFFFu);
std::int32_t SimConnect_RequestDataOnSimObject(SimConnectClient* handle, std::uint32_t requestId,
                                               std::uint32_t defineId, std::uint32_t objectId,
                                               std::uint32_t period, std::uint32_t flags = 0,
                                               std::uint32_t origin = 0, std::uint32_t interval = 0,
                                               std::uint32_t limit = 0);
std::int32_t SimConnect_RequestDataOnSimObjectType(SimConnectClient* handle, std::uint32_t requestId,
                                                   std::uint32_t defineId, std::uint32_t radius,
                                                   std::uint32_t objectType);
// Sends count x unitSize bytes of data (a count of 0 is sent as 1). E_FAIL when the packet would be larger
// than the packet area or data is null while there are bytes to copy; nothing is sent then.
std::int32_t SimConnect_SetDataOnSimObject(SimConnectClient* handle, std::uint32_t defineId,
                                           std::uint32_t objectId, std::uint32_t flags,
                                           std::uint32_t arrayCount, std::uint32_t unitSize,
                                           const void* data);
std::int32_t SimConnect_SubscribeToSystemEvent(SimConnectClient* handle, std::uint32_t eventId,
                                               const char* eventName);
// initPosition points at the caller's 56-byte initial position, copied unchanged; null gives E_FAIL.
std::int32_t SimConnect_AICreateNonATCAircraft(SimConnectClient* handle, const char* containerTitle,
                                               const char* tailNumber, const void* initPosition,
                                               std::uint32_t requestId);
std::int32_t SimConnect_AIReleaseControl(SimConnectClient* handle, std::uint32_t objectId,
                                         std::uint32_t requestId);
std::int32_t SimConnect_AIRemoveObject(SimConnectClient* handle, std::uint32_t objectId,
                                       std::uint32_t requestId);
std::int32_t SimConnect_AISetAircraftFlightPlan(SimConnectClient* handle, std::uint32_t objectId,
                                                const char* flightPlanPath, std::uint32_t requestId);

} // namespace zeph
