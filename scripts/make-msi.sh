#!/usr/bin/env bash
# Makes the Windows Installer package of the toolkit with Debian's wixl: the
# given files side by side in [ProgramFilesFolder]VESKA Tools, installed for
# the whole machine, and a Start-menu shortcut 「VESKA Windows ユーティリティ」
# to VK_UTL.exe. Beside the package, PACKAGE.msi.sha256 holds its checksum
# (sha256sum's format).
#   make-msi.sh PACKAGE.msi FILE_OR_FOLDER...
# A folder gives the files in it. The version is the project's (CMakeLists.txt).
# The package installs files and the shortcut and nothing else: no custom
# action, no registry value of its own, no removal of another file, no
# permission. So an uninstall removes exactly what the install put there, and
# leaves VK_XP.log (which the programs write in the Windows folder) and every
# folder's DACL as they are.
# Two builds of the same files differ: wixl writes the time and a new package
# code into the summary information. The product code does not change: it is
# derived from the version, so a rebuilt package of one version is the same
# product (a new version is another one, and replaces the old: MajorUpgrade).
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 PACKAGE.msi FILE_OR_FOLDER..." >&2; exit 2; }
package=$(realpath -m "$1"); shift
root=$(cd "$(dirname "$0")/.." && pwd)
for tool in wixl msibuild msiinfo python3; do
    command -v "$tool" >/dev/null || { echo "make-msi: $tool is missing (scripts/install-deps.sh)" >&2; exit 2; }
done

# Never changes: it is how Windows Installer knows every version as one
# product, and replaces an older one.
upgrade_code=B15A7C27-B757-4EAF-8733-85831B50157E
name='VESKA Windows ユーティリティ'
version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "make-msi: no version in $root/CMakeLists.txt" >&2; exit 1; }
[[ $version == *.*.* ]] || version=$version.0  # Windows Installer compares three fields
product_code=$(python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
    "$upgrade_code" "ProductCode $version")

stage=$(mktemp -d "$package.XXXXXX")
trap 'rm -rf "$stage"' EXIT
names=()
add() {
    local name
    name=$(basename "$1")
    [ ! -e "$stage/$name" ] || { echo "make-msi: two files named $name" >&2; exit 1; }
    cp "$1" "$stage/$name"
    names+=("$name")
}
for arg in "$@"; do
    if [ -d "$arg" ]; then
        while IFS= read -r -d '' file; do add "$file"; done < <(
            find "$arg" -maxdepth 1 -type f -print0 | LC_ALL=C sort -z)
    else
        [ -f "$arg" ] || { echo "make-msi: $arg is missing" >&2; exit 1; }
        add "$arg"
    fi
done
[[ " ${names[*]} " == *" VK_UTL.exe "* ]] || { echo "make-msi: VK_UTL.exe is not among the files" >&2; exit 1; }

xml() { local s=${1//&/&amp;}; s=${s//</&lt;}; s=${s//>/&gt;}; printf %s "${s//\"/&quot;}"; }
# One file a component, the file its key path: wixl derives each component's
# GUID from it, the same in every version.
components() {
    local i=0 file id shortcut
    for file in "${names[@]}"; do
        i=$((i + 1)) id=f$i shortcut=
        [ "$file" != VK_UTL.exe ] || id=VK_UTL.exe shortcut="
            <Shortcut Id=\"StartMenu\" Directory=\"ProgramMenuFolder\" Name=\"$(xml "$name")\"
                      WorkingDirectory=\"INSTALLDIR\"/>"
        cat <<EOF
        <Component Id="c$i" Guid="*">
          <File Id="$id" Name="$(xml "$file")" Source="$(xml "$file")" KeyPath="yes">$shortcut
          </File>
        </Component>
EOF
    done
}
refs() { local i; for ((i = 1; i <= ${#names[@]}; i++)); do echo "      <ComponentRef Id=\"c$i\"/>"; done; }
# ProgramFilesFolder is the 32-bit Program Files, the folder that the
# administrator's guide names: C:\Program Files\VESKA Tools, which on 64-bit
# Windows is C:\Program Files (x86)\VESKA Tools.
cat >"$stage/package.wxs" <<EOF
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="$product_code" UpgradeCode="$upgrade_code" Name="$(xml "$name")" Version="$version"
           Manufacturer="VESKA" Language="1041" Codepage="932">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine" SummaryCodepage="932"/>
    <Media Id="1" Cabinet="files.cab" EmbedCab="yes"/>
    <MajorUpgrade DowngradeErrorMessage="新しいバージョンの [ProductName] がインストールされています。"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFilesFolder">
        <Directory Id="INSTALLDIR" Name="VESKA Tools">
$(components)
        </Directory>
      </Directory>
      <Directory Id="ProgramMenuFolder"/>
    </Directory>
    <Feature Id="Complete" Level="1">
$(refs)
    </Feature>
  </Product>
</Wix>
EOF

# wixl 0.101 cannot write Japanese text in the ANSI code page that it guesses
# from the C locale (it crashes, or leaves a file's name empty); told that the
# Windows language is Japanese, it writes CP932. msibuild then marks the
# database CP932 (a neutral one would be read in each PC's own code page),
# makes the summary's language the product's (wixl writes 1033), and points
# the shortcut at VK_UTL.exe itself: wixl makes every shortcut an advertised
# one, a shortcut to the feature, which checks the installation at every start
# and repairs it from the package.
export WINDOWS_LANGUAGE=ja
cd "$stage"
wixl -a x86 -o package.msi package.wxs
printf '\r\n\r\n932\t_ForceCodepage\r\n' >_ForceCodepage.idt
msiinfo export package.msi Shortcut |
    awk -F '\t' -v OFS='\t' '$1 == "StartMenu" { $5 = "[#VK_UTL.exe]" } 1' >Shortcut.idt
msibuild package.msi -i _ForceCodepage.idt Shortcut.idt -s "$name" VESKA 'Intel;1041'
mv package.msi "$package"
(cd "$(dirname "$package")" && sha256sum -- "$(basename "$package")" >"$package.sha256")
