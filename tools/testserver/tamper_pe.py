#!/usr/bin/env python3
"""Damages a copy of a signed PE file for the signature check tests.

tamper_pe.py code IN OUT        changes one byte in the middle of the first section holding code
tamper_pe.py signature IN OUT   zeroes the first 16 bytes of the PKCS#7 blob in the certificate
                                table, so that the signature can no longer be read
"""
import struct
import sys


def tamper(mode, data):
    pe = struct.unpack_from('<I', data, 0x3c)[0]
    sections = struct.unpack_from('<H', data, pe + 6)[0]
    optional_size = struct.unpack_from('<H', data, pe + 20)[0]
    optional = pe + 24
    if mode == 'code':
        table = optional + optional_size
        for i in range(sections):
            size, offset = struct.unpack_from('<II', data, table + i * 40 + 16)
            flags = struct.unpack_from('<I', data, table + i * 40 + 36)[0]
            if flags & 0x20 and size:   # IMAGE_SCN_CNT_CODE
                data[offset + size // 2] ^= 0xff
                return
        sys.exit('no code section')
    # The security directory (entry 4) holds a file offset, not an address; the blob follows
    # the 8-byte WIN_CERTIFICATE header.
    pe32_plus = struct.unpack_from('<H', data, optional)[0] == 0x20b
    directories = optional + (112 if pe32_plus else 96)
    offset, size = struct.unpack_from('<II', data, directories + 4 * 8)
    if size < 24:
        sys.exit('no signature')
    data[offset + 8:offset + 24] = bytes(16)


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ('code', 'signature'):
        sys.exit(__doc__)
    with open(sys.argv[2], 'rb') as f:
        data = bytearray(f.read())
    tamper(sys.argv[1], data)
    with open(sys.argv[3], 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main()
