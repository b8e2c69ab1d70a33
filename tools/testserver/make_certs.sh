#!/bin/sh
# Makes a throw-away test CA and two server certificates signed by it:
#   localhost.pem/.key   for "localhost" (what the tests connect to)
#   wrongname.pem/.key   for "wrong-host.invalid" (a name that does not match)
# plus ca.der for the Windows certificate store. Usage: make_certs.sh OUTDIR
set -eu
out=$1
mkdir -p "$out"
cd "$out"
[ -f .done ] && exit 0
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Pel Test Root CA" \
    -keyout ca.key -out ca.pem -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl x509 -in ca.pem -outform der -out ca.der
for name in localhost wrong-host.invalid; do
    base=$([ "$name" = localhost ] && echo localhost || echo wrongname)
    openssl req -newkey rsa:2048 -nodes -subj "/CN=$name" -keyout "$base.key" -out "$base.csr" 2>/dev/null
    printf 'subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' "$name" > "$base.ext"
    openssl x509 -req -in "$base.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days 825 \
        -extfile "$base.ext" -out "$base.pem" 2>/dev/null
    rm -f "$base.csr" "$base.ext"
done
touch .done
