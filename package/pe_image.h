// What is read of a launcher image: by the release check, its PE headers,
// how far headers and sections reach, the version block and which launcher
// it is by its resources (by build too, before it takes an image); by the
// check and both unpackers, where an Authenticode certificate table lies.
// Every offset is checked against the bytes at hand: the image may be
// anyone's. Portable: no Windows headers.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum PeVerdict {
    PE_OK,
    PE_TOO_SHORT,    // too short for a program
    PE_NOT_WINDOWS,  // no MZ and PE headers where they belong
    PE_NOT_GUI32,    // not a PE32 Windows GUI program
    PE_BAD_SECTIONS, // the section table lies outside the bytes read
};

enum PeLauncher { PE_UNKNOWN_LAUNCHER, PE_SETUP, PE_SETUP_LITE };

struct PeFacts {
    uint32_t cbImage;      // headers and sections: where the zero fill starts
    uint32_t dwCertOffset; // the certificate table, a file offset; 0 and 0 for none
    uint32_t cbCert;
    PeLauncher eLauncher;
    int bVersion;
    uint16_t awVersion[4]; // the file version, most significant first
};

// Reads the cb bytes of an image's start (the whole image where it fits).
PeVerdict pe_ReadImage(const uint8_t* pImage, size_t cb, PeFacts* pFacts);

// Which of the launchers a Windows GUI image is, PE32 or PE32+ (the x64
// twin the tests build): one that carries the manifest both launchers carry
// (the assembly "Kelvo Setup"), and then setup's password dialog or
// setup-lite's icon; PE_UNKNOWN_LAUNCHER for any other bytes.
PeLauncher pe_WhichLauncher(const uint8_t* pImage, size_t cb);

// The security entry of the data directory of a PE32 or PE32+ image whose
// headers are among the cb bytes at pHeaders: 1, with the table's file
// offset and size, when there is one; 0 (and 0, 0) when there is none or
// the bytes are no such image.
int pe_FindCertificateTable(const uint8_t* pHeaders, size_t cb, uint32_t* pdwOffset,
                            uint32_t* pcbTable);

// A certificate table's first WIN_CERTIFICATE header, the 8 bytes at its
// offset: 1 when it is a PKCS#7 signature of revision 2.0 whose length lies
// inside the table.
int pe_IsCertificateHeader(const uint8_t abHeader[8], uint32_t cbTable);
