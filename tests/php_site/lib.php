<?php
// Shared helpers of the stand-in site: its state folder, the demo account,
// replies with an exact length, and the request log.
declare(strict_types=1);

const SITE_ROOT = __DIR__ . '/www';
const UPLOADER_PATH = '/addon-v2/uploader/';
const DEFAULT_LOGIN = 'demo';
const DEFAULT_PASSWORD = 'demo-pass';
// The program refuses to send more than this; the site holds to the same limit.
const DATA_FILE_MAX_BYTES = 1572864;
const DATA_FILE_NAME = 'Quillfern.lua';

// Everything the site keeps lives in this folder (given by the start script).
function state_folder(): string
{
    $folder = getenv('QUILLFERN_SITE_STATE');
    if ($folder === false || $folder === '' || !is_dir($folder)) {
        reply(500, 'state folder missing');
    }
    return rtrim($folder, '/');
}

// site.json in the state folder: {"login": "...", "password": "..."}.
function demo_account(): array
{
    $account = ['login' => DEFAULT_LOGIN, 'password' => DEFAULT_PASSWORD];
    $text = @file_get_contents(state_folder() . '/site.json');
    if ($text !== false) {
        $config = json_decode($text, true);
        if (is_array($config)) {
            foreach (['login', 'password'] as $name) {
                if (isset($config[$name]) && is_string($config[$name])) {
                    $account[$name] = $config[$name];
                }
            }
        }
    }
    return $account;
}

// The program shows the site's refusals as ISO-8859-1 text; the sources are UTF-8.
// Only the accented letters of French are needed, all two-byte sequences.
function latin1(string $utf8): string
{
    return preg_replace_callback('/[\xC2\xC3][\x80-\xBF]/', function (array $m): string {
        return chr(((ord($m[0][0]) & 0x1F) << 6) | (ord($m[0][1]) & 0x3F));
    }, $utf8);
}

function utf8_from_latin1(string $latin1): string
{
    return preg_replace_callback('/[\x80-\xFF]/', function (array $m): string {
        $c = ord($m[0]);
        return chr(0xC0 | ($c >> 6)) . chr(0x80 | ($c & 0x3F));
    }, $latin1);
}

function log_line(string $file, array $fields): void
{
    $line = implode("\t", array_map(fn($f) => str_replace(["\t", "\n", "\r"], ' ', (string)$f), $fields));
    file_put_contents(state_folder() . '/' . $file, $line . "\n", FILE_APPEND | LOCK_EX);
}

// Sends the whole reply with its exact length, logs the request and ends.
function reply(int $status, string $body, string $type = 'text/plain; charset=ISO-8859-1',
               array $headers = []): never
{
    http_response_code($status);
    header('Content-Type: ' . $type);
    header('Content-Length: ' . strlen($body));
    foreach ($headers as $header) {
        header($header);
    }
    // One line per request: time, method, path, status, bytes sent back,
    // bytes received, user agent, and the reply itself when it is a short text.
    $folder = getenv('QUILLFERN_SITE_STATE');
    if ($folder !== false && is_dir($folder)) {
        $text = str_starts_with($type, 'text/plain') && strlen($body) <= 120
            ? str_replace(["\\", "\n"], ["\\\\", '\\n'], utf8_from_latin1($body)) : '';
        log_line('requests.log', [gmdate('Y-m-d H:i:s'), $_SERVER['REQUEST_METHOD'] ?? '',
            $_SERVER['REQUEST_URI'] ?? '', $status, strlen($body),
            $_SERVER['CONTENT_LENGTH'] ?? 0, $_SERVER['HTTP_USER_AGENT'] ?? '', $text]);
    }
    echo $body;
    exit;
}

function refuse(string $utf8_text): never
{
    reply(200, latin1($utf8_text));
}

function require_post(): void
{
    if (($_SERVER['REQUEST_METHOD'] ?? '') !== 'POST') {
        reply(405, 'Method Not Allowed', 'text/plain', ['Allow: POST']);
    }
    // Past post_max_size PHP drops the whole form: say so rather than "incomplete".
    if ((int)($_SERVER['CONTENT_LENGTH'] ?? 0) > 0 && !$_POST && !$_FILES) {
        reply(413, 'Request Entity Too Large', 'text/plain');
    }
}

// The account fields that both uploader scripts receive; ends the request
// with a refusal unless they name the demo account.
function check_account(): string
{
    $login = $_POST['login'] ?? null;
    $password = $_POST['pwrd'] ?? null;
    $version = $_POST['version'] ?? null;
    if (!is_string($login) || !is_string($password) || $login === '' || $password === '') {
        refuse("Identifiant ou mot de passe manquant.\nVeuillez les indiquer dans les options.");
    }
    if (!is_string($version) || !ctype_digit($version)) {
        refuse("Cette version de l'uploader n'est plus acceptée, veuillez le mettre à jour.");
    }
    $account = demo_account();
    if (!hash_equals($account['login'], $login) || !hash_equals($account['password'], $password)) {
        refuse('Identifiant ou mot de passe incorrect.');
    }
    return $login;
}
