// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/udsmeaning.h"

#include "diagnostics/diagtext.h"

#include <QStringList>

namespace {

constexpr uint8_t NegativeResponse = 0x7F;
constexpr uint8_t ResponseBit = 0x40;
constexpr uint8_t SuppressBit = 0x80;

struct Named
{
    uint16_t code;
    const char *name;
};

const Named Services[] = {
    {0x10, "DiagnosticSessionControl"},
    {0x11, "ECUReset"},
    {0x14, "ClearDiagnosticInformation"},
    {0x19, "ReadDTCInformation"},
    {0x22, "ReadDataByIdentifier"},
    {0x23, "ReadMemoryByAddress"},
    {0x24, "ReadScalingDataByIdentifier"},
    {0x27, "SecurityAccess"},
    {0x28, "CommunicationControl"},
    {0x29, "Authentication"},
    {0x2A, "ReadDataByPeriodicIdentifier"},
    {0x2C, "DynamicallyDefineDataIdentifier"},
    {0x2E, "WriteDataByIdentifier"},
    {0x2F, "InputOutputControlByIdentifier"},
    {0x31, "RoutineControl"},
    {0x34, "RequestDownload"},
    {0x35, "RequestUpload"},
    {0x36, "TransferData"},
    {0x37, "RequestTransferExit"},
    {0x38, "RequestFileTransfer"},
    {0x3D, "WriteMemoryByAddress"},
    {0x3E, "TesterPresent"},
    {0x83, "AccessTimingParameter"},
    {0x84, "SecuredDataTransmission"},
    {0x85, "ControlDTCSetting"},
    {0x86, "ResponseOnEvent"},
    {0x87, "LinkControl"},
};

const Named ResponseCodes[] = {
    {0x10, "generalReject"},
    {0x11, "serviceNotSupported"},
    {0x12, "subFunctionNotSupported"},
    {0x13, "incorrectMessageLengthOrInvalidFormat"},
    {0x14, "responseTooLong"},
    {0x21, "busyRepeatRequest"},
    {0x22, "conditionsNotCorrect"},
    {0x24, "requestSequenceError"},
    {0x25, "noResponseFromSubnetComponent"},
    {0x26, "failurePreventsExecutionOfRequestedAction"},
    {0x31, "requestOutOfRange"},
    {0x33, "securityAccessDenied"},
    {0x34, "authenticationRequired"},
    {0x35, "invalidKey"},
    {0x36, "exceededNumberOfAttempts"},
    {0x37, "requiredTimeDelayNotExpired"},
    {0x70, "uploadDownloadNotAccepted"},
    {0x71, "transferDataSuspended"},
    {0x72, "generalProgrammingFailure"},
    {0x73, "wrongBlockSequenceCounter"},
    {0x78, "requestCorrectlyReceived-ResponsePending"},
    {0x7E, "subFunctionNotSupportedInActiveSession"},
    {0x7F, "serviceNotSupportedInActiveSession"},
    {0x81, "rpmTooHigh"},
    {0x82, "rpmTooLow"},
    {0x83, "engineIsRunning"},
    {0x84, "engineIsNotRunning"},
    {0x85, "engineRunTimeTooLow"},
    {0x86, "temperatureTooHigh"},
    {0x87, "temperatureTooLow"},
    {0x88, "vehicleSpeedTooHigh"},
    {0x89, "vehicleSpeedTooLow"},
    {0x8A, "throttle/PedalTooHigh"},
    {0x8B, "throttle/PedalTooLow"},
    {0x8C, "transmissionRangeNotInNeutral"},
    {0x8D, "transmissionRangeNotInGear"},
    {0x8F, "brakeSwitch(es)NotClosed"},
    {0x90, "shifterLeverNotInPark"},
    {0x91, "torqueConverterClutchLocked"},
    {0x92, "voltageTooHigh"},
    {0x93, "voltageTooLow"},
    {0x94, "resourceTemporarilyNotAvailable"},
};

const Named DataIdentifiers[] = {
    {0xF180, "bootSoftwareIdentification"},
    {0xF181, "applicationSoftwareIdentification"},
    {0xF182, "applicationDataIdentification"},
    {0xF183, "bootSoftwareFingerprint"},
    {0xF184, "applicationSoftwareFingerprint"},
    {0xF185, "applicationDataFingerprint"},
    {0xF186, "activeDiagnosticSession"},
    {0xF187, "vehicleManufacturerSparePartNumber"},
    {0xF188, "vehicleManufacturerECUSoftwareNumber"},
    {0xF189, "vehicleManufacturerECUSoftwareVersionNumber"},
    {0xF18A, "systemSupplierIdentifier"},
    {0xF18B, "ECUManufacturingDate"},
    {0xF18C, "ECUSerialNumber"},
    {0xF18D, "supportedFunctionalUnits"},
    {0xF18E, "vehicleManufacturerKitAssemblyPartNumber"},
    {0xF18F, "regulationXSoftwareIdentificationNumbers"},
    {0xF190, "VIN"},
    {0xF191, "vehicleManufacturerECUHardwareNumber"},
    {0xF192, "systemSupplierECUHardwareNumber"},
    {0xF193, "systemSupplierECUHardwareVersionNumber"},
    {0xF194, "systemSupplierECUSoftwareNumber"},
    {0xF195, "systemSupplierECUSoftwareVersionNumber"},
    {0xF196, "exhaustRegulationOrTypeApprovalNumber"},
    {0xF197, "systemNameOrEngineType"},
    {0xF198, "repairShopCodeOrTesterSerialNumber"},
    {0xF199, "programmingDate"},
    {0xF19A, "calibrationRepairShopCodeOrCalibrationEquipmentSerialNumber"},
    {0xF19B, "calibrationDate"},
    {0xF19C, "calibrationEquipmentSoftwareNumber"},
    {0xF19D, "ECUInstallationDate"},
    {0xF19E, "ODXFile"},
    {0xF19F, "entity"},
};

const Named Sessions[] = {{1, "defaultSession"},
                          {2, "programmingSession"},
                          {3, "extendedDiagnosticSession"},
                          {4, "safetySystemDiagnosticSession"}};
const Named Resets[] = {{1, "hardReset"},
                        {2, "keyOffOnReset"},
                        {3, "softReset"},
                        {4, "enableRapidPowerShutDown"},
                        {5, "disableRapidPowerShutDown"}};
const Named Routines[] = {{1, "startRoutine"}, {2, "stopRoutine"}, {3, "requestRoutineResults"}};
const Named Communications[] = {{0, "enableRxAndTx"},
                                {1, "enableRxAndDisableTx"},
                                {2, "disableRxAndEnableTx"},
                                {3, "disableRxAndTx"},
                                {4, "enableRxAndDisableTxWithEnhancedAddressInformation"},
                                {5, "enableRxAndTxWithEnhancedAddressInformation"}};
const Named DtcSettings[] = {{1, "on"}, {2, "off"}};
const Named TimingParameters[] = {{1, "readExtendedTimingParameterSet"},
                                  {2, "setTimingParametersToDefaultValues"},
                                  {3, "readCurrentlyActiveTimingParameters"},
                                  {4, "setTimingParametersToGivenValues"}};
const Named LinkControls[] = {{1, "verifyModeTransitionWithFixedParameter"},
                              {2, "verifyModeTransitionWithSpecificParameter"},
                              {3, "transitionMode"}};
const Named DtcReports[] = {
    {0x01, "reportNumberOfDTCByStatusMask"},
    {0x02, "reportDTCByStatusMask"},
    {0x03, "reportDTCSnapshotIdentification"},
    {0x04, "reportDTCSnapshotRecordByDTCNumber"},
    {0x05, "reportDTCStoredDataByRecordNumber"},
    {0x06, "reportDTCExtDataRecordByDTCNumber"},
    {0x07, "reportNumberOfDTCBySeverityMaskRecord"},
    {0x08, "reportDTCBySeverityMaskRecord"},
    {0x09, "reportSeverityInformationOfDTC"},
    {0x0A, "reportSupportedDTC"},
    {0x0B, "reportFirstTestFailedDTC"},
    {0x0C, "reportFirstConfirmedDTC"},
    {0x0D, "reportMostRecentTestFailedDTC"},
    {0x0E, "reportMostRecentConfirmedDTC"},
    {0x0F, "reportMirrorMemoryDTCByStatusMask"},
    {0x10, "reportMirrorMemoryDTCExtDataRecordByDTCNumber"},
    {0x11, "reportNumberOfMirrorMemoryDTCByStatusMask"},
    {0x12, "reportNumberOfEmissionsOBDDTCByStatusMask"},
    {0x13, "reportEmissionsOBDDTCByStatusMask"},
    {0x14, "reportDTCFaultDetectionCounter"},
    {0x15, "reportDTCWithPermanentStatus"},
    {0x16, "reportDTCExtDataRecordByRecordNumber"},
    {0x17, "reportUserDefMemoryDTCByStatusMask"},
    {0x18, "reportUserDefMemoryDTCSnapshotRecordByDTCNumber"},
    {0x19, "reportUserDefMemoryDTCExtDataRecordByDTCNumber"},
    {0x42, "reportWWHOBDDTCByMaskRecord"},
    {0x55, "reportWWHOBDDTCWithPermanentStatus"},
};

template<size_t N> const char *find(const Named (&table)[N], uint16_t code)
{
    for (const Named &entry : table) {
        if (entry.code == code)
            return entry.name;
    }
    return nullptr;
}

template<size_t N> QString nameOr(const Named (&table)[N], uint16_t code)
{
    const char *name = find(table, code);
    return name ? QString::fromLatin1(name) : QStringLiteral("0x%1").arg(DiagText::hex(code, 2));
}

// Services whose first parameter is a sub-function with the suppress-positive-response bit.
bool hasSuppressBit(uint8_t sid)
{
    switch (sid) {
    case 0x10:
    case 0x11:
    case 0x27:
    case 0x28:
    case 0x29:
    case 0x2C:
    case 0x31:
    case 0x3E:
    case 0x83:
    case 0x85:
    case 0x86:
    case 0x87:
        return true;
    default:
        return false;
    }
}

uint16_t word(const QByteArray &p, int at)
{
    return uint16_t(uint8_t(p[at]) << 8 | uint8_t(p[at + 1]));
}

QString didText(uint16_t did)
{
    const QString name = UdsMeaning::dataIdentifierName(did);
    const QString number = DiagText::hex(did, 4);
    return name.isEmpty() ? number : number + ' ' + name;
}

QString subFunction(uint8_t sid, uint8_t sub)
{
    switch (sid) {
    case 0x10:
        return nameOr(Sessions, sub);
    case 0x11:
        return nameOr(Resets, sub);
    case 0x27:
        return QStringLiteral("%1 level %2")
            .arg(sub % 2 ? QStringLiteral("requestSeed") : QStringLiteral("sendKey"))
            .arg((sub + 1) / 2);
    case 0x28:
        return nameOr(Communications, sub);
    case 0x31:
        return nameOr(Routines, sub);
    case 0x3E:
        return sub == 0 ? QStringLiteral("zeroSubFunction")
                        : QStringLiteral("0x") + DiagText::hex(sub, 2);
    case 0x83:
        return nameOr(TimingParameters, sub);
    case 0x85:
        return nameOr(DtcSettings, sub);
    case 0x87:
        return nameOr(LinkControls, sub);
    case 0x19:
        return nameOr(DtcReports, sub);
    default:
        return QStringLiteral("0x") + DiagText::hex(sub, 2);
    }
}

// DTC and status records, four bytes each, from `at`.
QString dtcRecords(const QByteArray &p, int at)
{
    QStringList records;
    for (; at + 4 <= p.size(); at += 4)
        records.append(
            QStringLiteral("DTC %1 status %2")
                .arg(DiagText::hexBytes(p.mid(at, 3)), DiagText::hex(uint8_t(p[at + 3]), 2)));
    return records.isEmpty() ? QStringLiteral("no DTC") : records.join(QStringLiteral(", "));
}

// Data identifiers and their records of a ReadDataByIdentifier response; with one identifier
// asked, the whole rest is its record.
QString didRecords(const QByteArray &p)
{
    if (p.size() < 3)
        return {};
    const uint16_t did = word(p, 1);
    return didText(did) + " = " + DiagText::bytesOrText(p.mid(3));
}

QString requestDetails(const QByteArray &p)
{
    const uint8_t sid = uint8_t(p[0]);
    QStringList parts;
    if (sid == 0x22) {
        for (int at = 1; at + 2 <= p.size(); at += 2)
            parts.append(didText(word(p, at)));
        return parts.join(QStringLiteral(", "));
    }
    if ((sid == 0x2E || sid == 0x2F || sid == 0x24) && p.size() >= 3) {
        const QString rest = p.size() > 3 ? " = " + DiagText::bytesOrText(p.mid(3)) : QString();
        return didText(word(p, 1)) + rest;
    }
    if (sid == 0x14 && p.size() >= 4)
        return QStringLiteral("group %1").arg(DiagText::hexBytes(p.mid(1, 3)));
    if (sid == 0x36 && p.size() >= 2)
        return QStringLiteral("block %1, %2 bytes").arg(uint8_t(p[1])).arg(p.size() - 2);
    if (p.size() < 2 || !(hasSuppressBit(sid) || sid == 0x19))
        return p.size() > 1 ? DiagText::hexBytes(p.mid(1)) : QString();
    const uint8_t sub = uint8_t(p[1]) & (sid == 0x19 ? 0xFF : 0x7F);
    parts.append(subFunction(sid, sub));
    if (sid == 0x27 && sub % 2 == 0 && p.size() > 2)
        parts.append(QStringLiteral("key ") + DiagText::hexBytes(p.mid(2)));
    else if (sid == 0x31 && p.size() >= 4)
        parts.append(QStringLiteral("routine ") + DiagText::hex(word(p, 2), 4));
    else if (sid == 0x19 && p.size() >= 3)
        parts.append(QStringLiteral("mask ") + DiagText::hexBytes(p.mid(2)));
    if (hasSuppressBit(sid) && (uint8_t(p[1]) & SuppressBit))
        parts.append(QStringLiteral("(suppressPosRspMsgIndicationBit)"));
    return parts.join(' ');
}

QString responseDetails(const QByteArray &p)
{
    const uint8_t sid = uint8_t(p[0]) & ~ResponseBit;
    if (sid == 0x22)
        return didRecords(p);
    if ((sid == 0x2E || sid == 0x2F) && p.size() >= 3)
        return didText(word(p, 1)) +
               (p.size() > 3 ? " = " + DiagText::bytesOrText(p.mid(3)) : QString());
    if (sid == 0x27 && p.size() >= 2) {
        const uint8_t sub = uint8_t(p[1]);
        const QString seed =
            sub % 2 && p.size() > 2 ? " seed " + DiagText::hexBytes(p.mid(2)) : QString();
        return subFunction(sid, sub) + seed;
    }
    if (sid == 0x19 && p.size() >= 2) {
        const uint8_t report = uint8_t(p[1]);
        QString text = subFunction(sid, report);
        if ((report == 0x01 || report == 0x07 || report == 0x11 || report == 0x12) && p.size() >= 6)
            return text + QStringLiteral(" count %1").arg(word(p, 4));
        const bool listsDtcs = report == 0x02 || (report >= 0x0A && report <= 0x0F) ||
                               report == 0x13 || report == 0x15;
        if (listsDtcs && p.size() >= 3)
            return text + QStringLiteral(" mask %1: ").arg(DiagText::hex(uint8_t(p[2]), 2)) +
                   dtcRecords(p, 3);
        return text;
    }
    if (sid == 0x31 && p.size() >= 4)
        return subFunction(sid, uint8_t(p[1])) + " routine " + DiagText::hex(word(p, 2), 4) +
               (p.size() > 4 ? " " + DiagText::hexBytes(p.mid(4)) : QString());
    if (sid == 0x36 && p.size() >= 2)
        return QStringLiteral("block %1").arg(uint8_t(p[1]));
    if (hasSuppressBit(sid) && p.size() >= 2)
        return subFunction(sid, uint8_t(p[1]) & 0x7F);
    return p.size() > 1 ? DiagText::hexBytes(p.mid(1)) : QString();
}

QString joined(const QString &head, const QString &details)
{
    return details.isEmpty() ? head : head + ": " + details;
}

QString serviceOrNumber(uint8_t sid)
{
    const QString name = UdsMeaning::serviceName(sid);
    return name.isEmpty() ? QStringLiteral("service 0x") + DiagText::hex(sid, 2) : name;
}

} // namespace

namespace UdsMeaning {

QString serviceName(uint8_t sid)
{
    return QString::fromLatin1(find(Services, sid));
}

bool isService(uint8_t sid)
{
    return find(Services, sid) != nullptr;
}

QString responseCodeName(uint8_t code)
{
    if (const char *name = find(ResponseCodes, code))
        return QString::fromLatin1(name);
    if (code >= 0x38 && code <= 0x4F)
        return QStringLiteral("reservedByExtendedDataLinkSecurityDocument");
    return QStringLiteral("NRC 0x") + DiagText::hex(code, 2);
}

QString dataIdentifierName(uint16_t did)
{
    return QString::fromLatin1(find(DataIdentifiers, did));
}

QString describe(const QByteArray &payload)
{
    if (payload.isEmpty())
        return {};
    const uint8_t first = uint8_t(payload[0]);
    if (first == NegativeResponse) {
        if (payload.size() < 3)
            return QStringLiteral("negative response");
        const uint8_t code = uint8_t(payload[2]);
        return QStringLiteral("%1 negative response: %2 (0x%3)")
            .arg(serviceOrNumber(uint8_t(payload[1])), responseCodeName(code),
                 DiagText::hex(code, 2));
    }
    if (first & ResponseBit)
        return joined(serviceOrNumber(first & ~ResponseBit) + " positive response",
                      responseDetails(payload));
    return joined(serviceOrNumber(first), requestDetails(payload));
}

} // namespace UdsMeaning
