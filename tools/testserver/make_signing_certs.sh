#!/bin/sh
# Makes a throw-away code-signing CA, publishers it issued, and signed copies of a test program
# for the signature check tests. Usage: make_signing_certs.sh OUTDIR PROGRAM.exe
#   ca.der                  the CA, for the Windows certificate store (the tests trust it)
#   unsigned.exe            the program as built
#   signed_a.exe            signed by "Pel Test Publisher A" (issued by the CA)
#   signed_a_renewed.exe    signed by a second certificate for publisher A (new key, same subject)
#   signed_b.exe            signed by "Pel Test Publisher B" (issued by the CA)
#   tampered_code.exe       signed_a.exe with one byte of its code section changed
#   appended_byte.exe       signed_a.exe with one byte added after the signature
#   corrupt_signature.exe   signed_a.exe with the start of its signature blob zeroed (unreadable)
#   self_signed.exe         signed by a self-signed certificate nobody trusts
#   no_code_signing.exe     signed by a certificate the CA issued for servers only (no Code Signing)
#   expired.exe             signed by a certificate the CA issued that expired in 2020
# Everything is made anew on each run (the build runs it when the program or this script changes).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=$1
program=$(realpath "$2")
mkdir -p "$out"
cd "$out"
rm -f ./*.exe ./*.pem ./*.key ./*.der ./*.srl .done
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Pel Test Code Signing CA" \
    -keyout ca.key -out ca.pem -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl x509 -in ca.pem -outform der -out ca.der
codesign='basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning'
# name subject extensions: a key and a certificate issued by the CA.
issue() {
    name=$1 subject=$2 ext=$3
    openssl req -newkey rsa:2048 -nodes -subj "$subject" -keyout "$name.key" -out "$name.csr" 2>/dev/null
    printf '%s\n' "$ext" > "$name.ext"
    openssl x509 -req -in "$name.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days 3650 \
        -extfile "$name.ext" -out "$name.pem" 2>/dev/null
    rm -f "$name.csr" "$name.ext"
}
issue a "/O=Pel Test Software/CN=Pel Test Publisher A" "$codesign"
issue a_renewed "/O=Pel Test Software/CN=Pel Test Publisher A" "$codesign"
issue b "/O=Pel Test Software/CN=Pel Test Publisher B" "$codesign"
issue server "/O=Pel Test Software/CN=Pel Test Server Only" 'basicConstraints=CA:FALSE
extendedKeyUsage=serverAuth'
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/O=Pel Test Software/CN=Pel Test Self Signed" \
    -keyout self.key -out self.pem -addext "extendedKeyUsage=codeSigning" 2>/dev/null
# openssl x509 cannot back-date a certificate; openssl ca can.
mkdir -p expired-ca
: > expired-ca/index.txt
printf '[ca]\ndefault_ca=x\n[x]\ndatabase=expired-ca/index.txt\nnew_certs_dir=expired-ca\nserial=expired-ca/serial\ndefault_md=sha256\npolicy=p\nx509_extensions=e\n[p]\ncommonName=supplied\norganizationName=optional\n[e]\nbasicConstraints=CA:FALSE\nextendedKeyUsage=codeSigning\n' > expired-ca/ca.cnf
echo 01 > expired-ca/serial
openssl req -newkey rsa:2048 -nodes -subj "/O=Pel Test Software/CN=Pel Test Expired" \
    -keyout expired.key -out expired.csr 2>/dev/null
openssl ca -batch -config expired-ca/ca.cnf -cert ca.pem -keyfile ca.key -in expired.csr -notext -preserveDN \
    -startdate 20190101000000Z -enddate 20200101000000Z -out expired.pem 2>/dev/null
rm -rf expired.csr expired-ca

cp "$program" unsigned.exe
# name certificate key: signs a copy of the program (SHA-256, no time stamp, no network).
sign() {
    osslsigncode sign -h sha256 -certs "$2" -key "$3" -n "Pel signature test" \
        -in unsigned.exe -out "$1.exe" >/dev/null
}
sign signed_a a.pem a.key
sign signed_a_renewed a_renewed.pem a_renewed.key
sign signed_b b.pem b.key
sign self_signed self.pem self.key
sign no_code_signing server.pem server.key
sign expired expired.pem expired.key

cp signed_a.exe appended_byte.exe
printf 'x' >> appended_byte.exe
python3 "$here/tamper_pe.py" code signed_a.exe tampered_code.exe
python3 "$here/tamper_pe.py" signature signed_a.exe corrupt_signature.exe
touch .done
