#!/usr/bin/env bash
# Fills FOLDER with what the demo and the README's tour use: three component files of random
# bytes, the sample update image that packs them (sample.tarnru) and an empty state folder
# (state/) for the copies and the record. BUILD is the build folder whose vorlan-mkimage packs
# the image (build/ by default).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
folder=${1:?usage: demo-folder.sh FOLDER [BUILD]}
mkimage=${2:-$root/build}/tools/vorlan-mkimage
mkdir -p "$folder"
cd "$folder"
head -c 1500000 /dev/urandom >boot.bin
head -c 2097275 /dev/urandom >kernel.bin
head -c 40000 /dev/urandom >config.bin
"$mkimage" sample.tarnru \
    BOOT:1.4.0.2:0x40000:1:boot.bin \
    KERN:2.1.0.7:0x200000:1:kernel.bin \
    CONF:1.0.0.12:0x600000:2:config.bin
install -d -m 0700 state
