<?php
// Receives one account's saved-data file and keeps it, numbered, in the state folder.
declare(strict_types=1);
require_once __DIR__ . '/../../../lib.php';

require_post();
$login = check_account();

$file = $_FILES['file'] ?? null;
if (!is_array($file) || !is_string($file['name'] ?? null)) {
    refuse('Aucun fichier reçu.');
}
if ($file['error'] === UPLOAD_ERR_INI_SIZE || $file['error'] === UPLOAD_ERR_FORM_SIZE) {
    refuse('Le fichier reçu dépasse la taille maximale autorisée.');
}
if ($file['error'] !== UPLOAD_ERR_OK || !is_uploaded_file($file['tmp_name'])) {
    refuse("Le fichier n'a pas été reçu en entier, veuillez réessayer.");
}
if ($file['name'] !== DATA_FILE_NAME) {
    refuse("Le fichier reçu n'est pas un fichier de données Quillfern.");
}
if ($file['size'] <= 0) {
    refuse('Le fichier reçu est vide.');
}
if ($file['size'] > DATA_FILE_MAX_BYTES) {
    refuse('Le fichier reçu dépasse la taille maximale autorisée.');
}

$folder = state_folder() . '/received';
if (!is_dir($folder)) {
    @mkdir($folder, 0777, true);
}
// The lock keeps the numbering right when two uploads arrive together.
$lock = fopen(state_folder() . '/received.lock', 'c');
if ($lock === false || !flock($lock, LOCK_EX)) {
    refuse("Le fichier n'a pas pu être enregistré, veuillez réessayer plus tard.");
}
$number = count(glob($folder . '/*-' . DATA_FILE_NAME) ?: []) + 1;
$name = sprintf('%04d-%s', $number, DATA_FILE_NAME);
if (!move_uploaded_file($file['tmp_name'], $folder . '/' . $name)) {
    refuse("Le fichier n'a pas pu être enregistré, veuillez réessayer plus tard.");
}
log_line('received.log', [sprintf('%04d', $number), gmdate('Y-m-d H:i:s'), $login, $file['size'], $name]);
flock($lock, LOCK_UN);
reply(200, 'OK');
