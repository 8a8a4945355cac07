# Sourced by the scripts that take sources from Debian's archive: a deb-src
# entry of its own, with package lists of its own, so that the machine's own
# lists stay as they are.

# private_apt FOLDER [SUITE]: a fresh source list in FOLDER for the archive
# this machine uses, or for SUITE of it (another Debian release); sets
# apt_options for apt-get to use it.
private_apt() {
  local folder=$1 suite=${2:-}
  rm -rf "$folder" && mkdir -p "$folder/sources.list.d" "$folder/lists/partial" "$folder/get"
  {
    if [[ -n $suite ]]; then
      local mirror=http://deb.debian.org/debian
      if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
        mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources | head -n 1)
      fi
      printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\n' "$mirror" "$suite"
      printf 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg\n'
    else
      if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
        sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources
      fi
      if [[ -f /etc/apt/sources.list ]]; then
        sed -n 's/^deb /deb-src /p' /etc/apt/sources.list
      fi
    fi
  } > "$folder/sources.list.d/source.sources"
  apt_options=(-o "Dir::Etc::SourceParts=$folder/sources.list.d" -o "Dir::Etc::SourceList=/dev/null"
               -o "Dir::State::Lists=$folder/lists")
  apt-get "${apt_options[@]}" update -qq
}

# debian_source FOLDER PACKAGE DEST: the unpacked source package PACKAGE of
# the machine's release, moved to DEST.
debian_source() {
  local folder=$1 package=$2 dest=$3
  private_apt "$folder"
  (cd "$folder/get" && apt-get "${apt_options[@]}" source -qq "$package" > /dev/null)
  rm -rf "$dest"
  mv "$(find "$folder/get" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n 1)" "$dest"
}

# upstream_tarball FOLDER SUITE PACKAGE: downloads only the upstream tarball
# of PACKAGE as SUITE has it (checked against the archive's SHA256) into
# FOLDER/get and prints its path. For when the rest of that source package
# cannot be had.
upstream_tarball() {
  local folder=$1 suite=$2 package=$3
  private_apt "$folder" "$suite"
  local uri name hash
  read -r uri name _ hash < <(apt-get "${apt_options[@]}" source --print-uris "$package" 2> /dev/null |
    grep "\.orig\.tar\.")
  uri=${uri//\'/}
  /usr/lib/apt/apt-helper -qq download-file "$uri" "$folder/get/$name" "$hash" > /dev/null
  echo "$folder/get/$name"
}
