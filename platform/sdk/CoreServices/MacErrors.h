// Result codes of the system services, with their published values.
#pragma once

enum
{
    noErr = 0,

    // General and file system.
    paramErr = -50,
    unimpErr = -4,
    ioErr = -36,
    bdNamErr = -37,
    fnOpnErr = -38,
    eofErr = -39,
    posErr = -40,
    fnfErr = -43,
    wPrErr = -44,
    fLckdErr = -45,
    dupFNErr = -48,
    opWrErr = -49,
    permErr = -54,
    wrPermErr = -61,
    dirNFErr = -120,
    errFSBadFSRef = -1401,
    errFSNotAFolder = -1407,
    errFSNoMoreItems = -1417,
    pathTooLongErr = -2110,

    // Memory Manager.
    memFullErr = -108,
    nilHandleErr = -109,
    memWZErr = -111,

    // Resource Manager.
    resNotFound = -192,
    resFNotFound = -193,

    // Component Manager.
    invalidComponentID = -3000,
    validInstancesExist = -3001,
    componentNotCaptured = -3002,
    componentDontRegister = -3003,
    unresolvedComponentDLLErr = -3004,
    retryComponentRegistrationErr = -3005,
    badComponentInstance = (int)0x80008001,
    badComponentSelector = (int)0x80008002
};
