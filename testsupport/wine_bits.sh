# Sourced by the Windows test scripts: sets $wine_bits, the bitnesses whose
# programs Wine can run here. Wine's 32-bit half (wine32:i386) needs i386
# package lists the mirror may fail to serve (scripts/install-windows-deps.sh
# then installs the rest); without it only the 64-bit programs run, and the
# scripts say which checks they skip.
if [ -x /usr/lib/wine/wine ]; then
  wine_bits="32 64"
else
  wine_bits=64
  echo "skip 32-bit programs under Wine: Wine's 32-bit half (wine32:i386) is not installed;" \
    "the 32-bit build is still made and its exports checked"
fi
