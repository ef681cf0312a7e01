<?php
// A stand-in of the Quillfern site for PHP's built-in server:
//   QUILLFERN_SITE_STATE=<folder> php -S 127.0.0.1:<port> -t www router.php
// (tests/php_site.sh starts and stops it). It runs the two uploader scripts
// and serves the release list and the files it names, in both editions;
// every other request gets a 404. All it keeps is files in the state folder.
declare(strict_types=1);
require_once __DIR__ . '/lib.php';

const SCRIPTS = ['authentification.php', 'send.php'];
const RELEASE_LIST = 'release.txt';
const EDITION_FOLDERS = ['version-light/Quillfern/', 'version-full/Quillfern/'];

// The names the release list gives, each with "/" between folders. Only
// these are served, so nothing else under the site's folder can be reached.
function released_names(string $list): array
{
    $lines = explode("\n", $list);
    $count = (int)($lines[1] ?? 0);
    $names = [];
    for ($i = 0; $i < $count && isset($lines[$i + 2]); ++$i) {
        $name = str_replace('\\', '/', $lines[$i + 2]);
        // A name that climbs out of its edition folder is never served.
        if ($name !== '' && $name[0] !== '/' && !in_array('..', explode('/', $name), true)) {
            $names[] = $name;
        }
    }
    return $names;
}

function serve_file(string $path, string $type = 'application/octet-stream'): never
{
    if (($_SERVER['REQUEST_METHOD'] ?? '') !== 'GET') {
        reply(405, 'Method Not Allowed', 'text/plain', ['Allow: GET']);
    }
    $bytes = @file_get_contents($path);
    if ($bytes === false) {
        reply(404, 'Not Found', 'text/plain');
    }
    reply(200, $bytes, $type);
}

$uri = $_SERVER['REQUEST_URI'] ?? '/';
$path = rawurldecode(explode('?', $uri, 2)[0]);
if (!str_starts_with($path, UPLOADER_PATH)) {
    reply(404, 'Not Found', 'text/plain');
}
$rest = substr($path, strlen(UPLOADER_PATH));
$folder = SITE_ROOT . UPLOADER_PATH;

if (in_array($rest, SCRIPTS, true)) {
    require $folder . $rest;
    exit;
}
if ($rest === RELEASE_LIST) {
    serve_file($folder . RELEASE_LIST, 'text/plain; charset=ISO-8859-1');
}
foreach (EDITION_FOLDERS as $edition) {
    if (!str_starts_with($rest, $edition)) {
        continue;
    }
    $name = substr($rest, strlen($edition));
    $list = @file_get_contents($folder . RELEASE_LIST);
    if ($list !== false && in_array($name, released_names($list), true)) {
        serve_file($folder . $edition . $name);
    }
}
reply(404, 'Not Found', 'text/plain');
