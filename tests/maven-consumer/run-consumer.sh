#!/usr/bin/env bash
# Builds and tests the consumer project with Debian's Maven, offline in effect: a fresh
# local repository, the artifacts from the repository the build wrote, and everything else
# (plugins, JUnit) from Debian's /usr/share/maven-repo. (Maven's -o would refuse both
# file: repositories as remote ones.)
#   run-consumer.sh SOURCE_DIR WORK_DIR REPOSITORY VERSION
set -euo pipefail
source=$1 work=$2 repository=$3 version=$4

rm -rf "$work"
mkdir -p "$work"
cp -r "$source/pom.xml" "$source/src" "$work/"

# One repository of the settings: ELEMENT ID URL CHECKSUM_POLICY.
repository_entry() {
  printf '        <%s>\n          <id>%s</id>\n          <url>%s</url>\n' "$1" "$2" "$3"
  printf '          <releases><checksumPolicy>%s</checksumPolicy></releases>\n        </%s>' "$4" "$1"
}

cat >"$work/settings.xml" <<SETTINGS
<settings xmlns="http://maven.apache.org/SETTINGS/1.0.0">
  <localRepository>$work/local-repository</localRepository>
  <interactiveMode>false</interactiveMode>
  <mirrors>
    <mirror>
      <id>debian</id>
      <mirrorOf>*,!vestaro-build</mirrorOf>
      <url>file:///usr/share/maven-repo</url>
    </mirror>
  </mirrors>
  <profiles>
    <profile>
      <id>vestaro-build</id>
      <repositories>
$(repository_entry repository vestaro-build "file://$repository" fail)
        <!-- Reached through the mirror; Debian's tree has no checksums to check. -->
$(repository_entry repository central file:///usr/share/maven-repo ignore)
      </repositories>
      <pluginRepositories>
$(repository_entry pluginRepository central file:///usr/share/maven-repo ignore)
      </pluginRepositories>
    </profile>
  </profiles>
  <activeProfiles>
    <activeProfile>vestaro-build</activeProfile>
  </activeProfiles>
</settings>
SETTINGS
cd "$work"
exec mvn --batch-mode --no-transfer-progress --settings settings.xml -Dvestaro.version="$version" test
